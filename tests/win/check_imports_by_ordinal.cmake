# Reads the import table of BINARY with objdump -p and checks that it imports from
# QuillonCrypto.dll by ordinal only, each ordinal one of the reference table's.
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${BINARY} failed: ${rc}")
endif()
# The block after "DLL Name: QuillonCrypto.dll" and its header line, up to the blank line.
if(NOT dump MATCHES "DLL Name: QuillonCrypto\\.dll\n[^\n]*\n(([ \t]+[0-9a-f]+[^\n]*\n)+)")
  message(FATAL_ERROR "${BINARY} imports nothing from QuillonCrypto.dll")
endif()
string(REGEX MATCHALL "[^\n]+" entries "${CMAKE_MATCH_1}")

file(STRINGS ${TABLE} table_lines REGEX "^[0-9]+[ \t]+QLC_")
foreach(line IN LISTS table_lines)
  string(REGEX MATCH "^([0-9]+)" _ "${line}")
  set(in_table_${CMAKE_MATCH_1} TRUE)
endforeach()

set(errors "")
set(count 0)
foreach(entry IN LISTS entries)
  # By ordinal: the thunk has bit 63 set and the ordinal in its low bits, no member name.
  # objdump prints both columns in hexadecimal.
  if(entry MATCHES "^[ \t]+80000000000+([0-9a-f]+)[ \t]+[0-9a-f]+[ \t]+<none>")
    math(EXPR count "${count} + 1")
    math(EXPR ordinal "0x${CMAKE_MATCH_1}")
    if(NOT in_table_${ordinal})
      string(APPEND errors "ordinal ${ordinal} is not a fixed ordinal\n")
    endif()
  else()
    string(APPEND errors "not an import by ordinal:${entry}\n")
  endif()
endforeach()
if(errors)
  message(FATAL_ERROR "${BINARY}:\n${errors}")
endif()
message(STATUS "${count} functions imported from QuillonCrypto.dll, all by ordinal")
