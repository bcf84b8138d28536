# SPDX-License-Identifier: GPL-3.0-or-later
# Warning sets. Every target of ours gets the base set; the engine modules
# (codec, capture), which work on raw bytes, also get the conversion warnings.
add_library(postori_warnings INTERFACE)
target_compile_options(postori_warnings INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 warns about overlapping memcpy inside std::string concatenation at
# -O2 and above where there is none (GCC bug 105651); the warning is useless
# there and would break -Werror builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(postori_warnings INTERFACE -Wno-restrict)
endif()
if(POSTORI_WERROR)
  target_compile_options(postori_warnings INTERFACE -Werror)
endif()

add_library(postori_strict_warnings INTERFACE)
target_link_libraries(postori_strict_warnings INTERFACE postori_warnings)
target_compile_options(postori_strict_warnings INTERFACE -Wshadow -Wconversion -Wold-style-cast)
