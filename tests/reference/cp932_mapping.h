// The mapping file's reader lives in tests/support; this name for it stays
// while a test still includes it by its old path.
#pragma once

#include "tests/support/cp932_mapping.h"
