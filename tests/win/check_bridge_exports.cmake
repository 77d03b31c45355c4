# Reads the export table of the bridge DLL with objdump -p and checks that it exports exactly
# the natives in NATIVES (a comma-separated list of Java_security_Cmvp_ names), by their undecorated names.
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed: ${rc}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]+\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_@]*\n)+)"
  _ "${dump}")
# One name per line once the "[  i] " indexes are gone (brackets would upset CMake lists).
string(REGEX REPLACE "[ \t]+\\[ *[0-9]+\\] " "" names "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[^\n]+" exported "${names}")
list(SORT exported)
string(REPLACE "," ";" expected "${NATIVES}")
list(SORT expected)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "${DLL} exports\n  ${exported}\nexpected\n  ${expected}")
endif()
list(LENGTH exported n)
message(STATUS "${n} natives exported by name")
