# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack as it starts (CPACK_PROJECT_CONFIG_FILE). Every time stamp in
# the package (the files' times, the archives' headers) is SOURCE_DATE_EPOCH,
# so that the same sources give the same package whenever and wherever they
# are built: the date of the commit the sources are at, unless the caller
# sets it; without git, the date of the changelog's top entry.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(_postori_epoch "")
  find_program(_postori_git git)
  if(_postori_git)
    execute_process(
      COMMAND ${_postori_git} -C ${CPACK_POSTORI_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE _postori_epoch
      OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET)
  endif()
  if(NOT _postori_epoch MATCHES "^[0-9]+$")
    file(STRINGS ${CPACK_POSTORI_SOURCE_DIR}/packaging/changelog _postori_trailer REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" _postori_date "${_postori_trailer}")
    execute_process(
      COMMAND date -u -d "${_postori_date}" +%s
      OUTPUT_VARIABLE _postori_epoch
      OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  if(NOT _postori_epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "cannot tell SOURCE_DATE_EPOCH: no git commit and no date in packaging/changelog")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${_postori_epoch})
endif()
