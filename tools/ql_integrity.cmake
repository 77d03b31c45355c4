# The build's two uses of the integrity key, run with the openssl program of the build machine
# (also for cross builds):
#   cmake -DMODE=public-key -DOPENSSL=<openssl> -DKEY=<key.pem> -DOUT=<file.inc> -P <this>
#     writes the key's public half, the 140-byte DER RSAPublicKey of a 1024-bit modulus with
#     exponent 65537, as the C initialiser the library embeds (and OUT.der beside it); any other
#     key fails the build.
#   cmake -DMODE=sign -DOPENSSL=<openssl> -DKEY=<key.pem> -DFILE=<library> -P <this>
#     appends "SIGN" and the 128-byte RSASSA-PKCS1-v1_5 SHA-1 signature over the whole file. The
#     signed file replaces the original in one rename, so it is never seen half-written. A file
#     that already ends in such a trailer is left alone: each link writes a fresh file, and a
#     file is signed once.
cmake_minimum_required(VERSION 3.20)
foreach(v MODE OPENSSL KEY)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "ql_integrity.cmake: ${v} is not set")
  endif()
endforeach()
if(NOT EXISTS ${KEY})
  message(FATAL_ERROR "integrity key ${KEY} not found")
endif()

set(kTrailerLen 132)
set(kSignatureLen 128)
set(kMarkHex 5349474e)  # "SIGN"

# run(...): execute_process that fails the build with openssl's message.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}): ${err}${out}")
  endif()
endfunction()

if(MODE STREQUAL "public-key")
  if(NOT DEFINED OUT)
    message(FATAL_ERROR "ql_integrity.cmake: OUT is not set")
  endif()
  run("openssl rsa on ${KEY}" ${OPENSSL} rsa -in ${KEY} -RSAPublicKey_out -outform DER
    -out ${OUT}.der)
  file(SIZE ${OUT}.der size)
  file(READ ${OUT}.der hex HEX)
  # SEQUENCE (137) { INTEGER (129: 00 and 128 bytes of n), INTEGER 65537 }: the only form a
  # 1024-bit modulus with this exponent takes.
  if(NOT size EQUAL 140 OR NOT hex MATCHES "^30818902818100[89a-f][0-9a-f]" OR
     NOT hex MATCHES "0203010001$")
    message(FATAL_ERROR "integrity key ${KEY}: its public key is ${size} bytes of DER, not the "
      "140 bytes of a 1024-bit RSA modulus with exponent 65537")
  endif()
  # Twelve bytes a line.
  set(content "// Generated from ${KEY} by tools/ql_integrity.cmake; do not edit.\n")
  foreach(at RANGE 0 279 24)
    string(SUBSTRING "${hex}" ${at} 24 line)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " line "${line}")
    string(REGEX REPLACE " $" "\n" line "${line}")
    string(APPEND content "${line}")
  endforeach()
  file(WRITE ${OUT} "${content}")
elseif(MODE STREQUAL "sign")
  if(NOT DEFINED FILE OR NOT EXISTS ${FILE})
    message(FATAL_ERROR "ql_integrity.cmake: no file to sign (${FILE})")
  endif()
  file(SIZE ${FILE} size)
  if(size GREATER kTrailerLen)
    math(EXPR at "${size} - ${kTrailerLen}")
    file(READ ${FILE} mark OFFSET ${at} LIMIT 4 HEX)
    if(mark STREQUAL kMarkHex)
      message(STATUS "${FILE} is signed already")
      return()
    endif()
  endif()
  set(sig ${FILE}.sig)
  set(tmp ${FILE}.signing)
  file(REMOVE ${sig} ${tmp})
  run("openssl dgst -sign on ${FILE}" ${OPENSSL} dgst -sha1 -sign ${KEY} -out ${sig} ${FILE})
  file(SIZE ${sig} sig_size)
  if(NOT sig_size EQUAL kSignatureLen)
    file(REMOVE ${sig})
    message(FATAL_ERROR "signature of ${FILE} is ${sig_size} bytes, not ${kSignatureLen}")
  endif()
  file(WRITE ${FILE}.mark "SIGN")
  execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${FILE} ${FILE}.mark ${sig}
    OUTPUT_FILE ${tmp} RESULT_VARIABLE rc)
  file(REMOVE ${sig} ${FILE}.mark)
  math(EXPR want "${size} + ${kTrailerLen}")
  file(SIZE ${tmp} got)
  if(NOT rc EQUAL 0 OR NOT got EQUAL want)
    file(REMOVE ${tmp})
    message(FATAL_ERROR "appending the signature to ${FILE} failed")
  endif()
  file(CHMOD ${tmp} FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(RENAME ${tmp} ${FILE})
else()
  message(FATAL_ERROR "ql_integrity.cmake: unknown MODE '${MODE}'")
endif()
