#include "codec/convert.h"
