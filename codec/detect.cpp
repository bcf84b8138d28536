#include "codec/detect.h"
