# Writes the linker's .def for QuillonCrypto.dll:
#   cmake -DTEMPLATE=cmake/QuillonCrypto.def -DHEADER=include/QuillonCrypto.h -DOUT=<file> -P <this>
# Every function the header exports (a line starting "QL_EXPORT") is listed: a QLC_ function at
# its ordinal from TEMPLATE (the build fails when it has none), any other function at the next
# ordinal from 101 up, in header order. The fixed ordinals thus never go to another function,
# as they would if the linker numbered the unlisted exports itself (it fills the gaps).
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
set(next_free 101)
set(missing "")
foreach(line IN LISTS header_lines)
  if(NOT line MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t]*\\(")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  if(DEFINED ordinal_of_${name})
    string(APPEND body "    ${name} @${ordinal_of_${name}}\n")
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

set(content "; Generated from ${TEMPLATE} and ${HEADER}; do not edit.\nLIBRARY QuillonCrypto.dll\nEXPORTS\n${body}")
# Rewritten only when it changes, so an unrelated header edit does not relink the DLL.
if(EXISTS ${OUT})
  file(READ ${OUT} old)
  if(old STREQUAL content)
    return()
  endif()
endif()
file(WRITE ${OUT} "${content}")
