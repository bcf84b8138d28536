# SPDX-License-Identifier: GPL-3.0-or-later
# Sanitizers apply to the whole build tree, so that every library and test of
# a sanitized tree is instrumented alike.
if(POSTORI_SANITIZE)
  set(_postori_san_flags -fsanitize=${POSTORI_SANITIZE} -fno-omit-frame-pointer)
  if(POSTORI_SANITIZE MATCHES "undefined")
    # An undefined-behaviour report must fail the test, not just print.
    list(APPEND _postori_san_flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_postori_san_flags})
  add_link_options(${_postori_san_flags})
endif()
