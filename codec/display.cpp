#include "codec/display.h"
