# SPDX-License-Identifier: GPL-3.0-or-later
# The compiler and linker flags a Debian package is built with, taken from
# dpkg-buildflags with every hardening feature on (fortify, stack protector,
# format security, relro, bind-now), and the build's own folders mapped away
# so that the binaries hold no path of the machine that built them.
#
# Without POSTORI_DPKG_BUILDFLAGS nothing changes: the trees that measure and
# test keep the compiler's defaults. With it, __FILE__ is relative to the
# checkout, so a benchmark that finds ../shared/data through it (codec_bench)
# must be run from the checkout's parent folder.
option(POSTORI_DPKG_BUILDFLAGS
       "Build with the flags of dpkg-buildflags (hardening=+all), as the Debian package is" OFF)
if(NOT POSTORI_DPKG_BUILDFLAGS)
  return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)

function(_postori_dpkg_buildflag variable out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${variable}
    OUTPUT_VARIABLE flags
    OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  # dpkg-buildflags maps the folder it runs in; the maps are set below, for
  # the source and the build folder both.
  list(FILTER flags EXCLUDE REGEX "^-f(file|debug|macro)-prefix-map=")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

_postori_dpkg_buildflag(CPPFLAGS _postori_cppflags)
_postori_dpkg_buildflag(CXXFLAGS _postori_cxxflags)
_postori_dpkg_buildflag(LDFLAGS _postori_ldflags)
# The build folder may lie inside the source folder (build/package): GCC
# takes the last map that matches, so the build folder's map comes last.
list(APPEND _postori_cxxflags
     -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)

# Where CMake puts the CXXFLAGS and LDFLAGS of the environment, so they come
# before the build type's own: Release keeps its -O3 over the -O2 of
# dpkg-buildflags. The package strips the debugging information of -g.
list(JOIN _postori_cppflags " " _postori_cppflags)
list(JOIN _postori_cxxflags " " _postori_cxxflags)
list(JOIN _postori_ldflags " " _postori_ldflags)
string(APPEND CMAKE_CXX_FLAGS " ${_postori_cppflags} ${_postori_cxxflags}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${_postori_ldflags}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${_postori_ldflags}")
