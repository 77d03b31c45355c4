# Writes the linker's .def for QuillonCrypto.dll:
#   cmake -DTEMPLATE=cmake/QuillonCrypto.def -DHEADER=include/QuillonCrypto.h -DOUT=<file>
#         [-DNONAME_OUT=<file>] -P <this>
# Every function the header exports (a line starting "QL_EXPORT") is listed: a QLC_ function at
# its ordinal from TEMPLATE (the build fails when it has none), any other function at the next
# ordinal from 101 up, in header order. The fixed ordinals thus never go to another function,
# as they would if the linker numbered the unlisted exports itself (it fills the gaps).
# NONAME_OUT, when given, receives the description of an ordinal-only import library: the QLC_
# functions at their ordinals, marked NONAME, so that a program linked with it imports them by
# ordinal and never by name.
cmake_minimum_required(VERSION 3.20)
foreach(v TEMPLATE HEADER OUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "QuillonCryptoDef.cmake: ${v} is not set")
  endif()
endforeach()

file(STRINGS ${TEMPLATE} template_lines REGEX "^[ \t]+QLC_[A-Za-z0-9_]+[ \t]+@[0-9]+")
foreach(line IN LISTS template_lines)
  string(REGEX MATCH "(QLC_[A-Za-z0-9_]+)[ \t]+@([0-9]+)" _ "${line}")
  set(ordinal_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()

file(STRINGS ${HEADER} header_lines REGEX "^QL_EXPORT ")
set(body "")
set(noname_body "")
set(next_free 101)
set(missing "")
foreach(line IN LISTS header_lines)
  if(NOT line MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t]*\\(")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  if(DEFINED ordinal_of_${name})
    string(APPEND body "    ${name} @${ordinal_of_${name}}\n")
    string(APPEND noname_body "    ${name} @${ordinal_of_${name}} NONAME\n")
  elseif(name MATCHES "^QLC_")
    list(APPEND missing ${name})
  else()
    string(APPEND body "    ${name} @${next_free}\n")
    math(EXPR next_free "${next_free} + 1")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "no ordinal in ${TEMPLATE} for: ${missing}")
endif()
if(body STREQUAL "")
  message(FATAL_ERROR "no exported functions found in ${HEADER}")
endif()

# Each file is rewritten only when it changes, so an unrelated header edit relinks nothing.
function(write_if_changed path content)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${path} "${content}")
endfunction()

set(banner "; Generated from ${TEMPLATE} and ${HEADER}; do not edit.\nLIBRARY QuillonCrypto.dll\nEXPORTS\n")
write_if_changed(${OUT} "${banner}${body}")
if(DEFINED NONAME_OUT)
  write_if_changed(${NONAME_OUT} "${banner}${noname_body}")
endif()
