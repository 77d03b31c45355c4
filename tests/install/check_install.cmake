# Installs the build tree into a fresh prefix, then builds a small consumer against it both
# ways (find_package and pkg-config), runs both, and runs the installed qlc.
# Inputs: BUILD_DIR, SOURCE_DIR (tests/install), WORK, C_COMPILER, GENERATOR, PKG_CONFIG,
# EXPECT_BRIDGE (1 when the build has the Java bridge and its jar), EXPECT_HOOKS (1 when the
# tested library was built with test hooks).
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()

set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f include/QuillonCrypto.h bin/qlc)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The library under its SONAME, the real file, and the development link, side by side.
file(GLOB_RECURSE sonames ${prefix}/*/libQuillonCrypto.so.1)
list(LENGTH sonames count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "libQuillonCrypto.so.1 not installed once: '${sonames}'")
endif()
get_filename_component(libdir_real ${sonames} DIRECTORY)
file(GLOB real_files ${libdir_real}/libQuillonCrypto.so.1.*)
if(NOT IS_SYMLINK ${sonames} OR NOT IS_SYMLINK ${libdir_real}/libQuillonCrypto.so
   OR NOT real_files)
  message(FATAL_ERROR "libQuillonCrypto.so -> .so.1 -> .so.1.x not installed as links")
endif()
execute_process(COMMAND readelf -d ${sonames} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(rc EQUAL 0 AND NOT dynamic MATCHES "Library soname: \\[libQuillonCrypto\\.so\\.1\\]")
  message(FATAL_ERROR "the installed library's SONAME is not libQuillonCrypto.so.1")
endif()
# The Java bridge beside the library it loads, and the jar.
if(EXPECT_BRIDGE)
  if(NOT EXISTS ${libdir_real}/libqlbridge.so OR NOT EXISTS ${prefix}/share/java/cmvp.jar)
    message(FATAL_ERROR "the Java bridge (beside the library) or cmvp.jar was not installed")
  endif()
endif()
# What ships has no test hooks: neither the CPU-mask variable nor any function of the hooks'
# namespace is in the installed library, while the tested one (built with hooks) has both.
file(GLOB_RECURSE shipped ${prefix}/*/libQuillonCrypto.so*)
if(NOT shipped)
  message(FATAL_ERROR "the library was not installed")
endif()
foreach(lib IN LISTS shipped)
  file(STRINGS ${lib} hooks REGEX "QL_TEST_CPU_MASK|_ZN2ql4test|alloc_fail_at")
  if(hooks)
    message(FATAL_ERROR "the installed ${lib} has test hooks: ${hooks}")
  endif()
endforeach()
if(EXPECT_HOOKS)
  file(GLOB tested ${BUILD_DIR}/libQuillonCrypto.so)
  file(STRINGS ${tested} hooks REGEX "QL_TEST_CPU_MASK")
  if(NOT hooks)
    message(FATAL_ERROR "the check finds no hooks in the tested library either")
  endif()
endif()

file(GLOB_RECURSE pcs ${prefix}/*/quilloncrypto.pc)
file(GLOB_RECURSE configs ${prefix}/*/QuillonCryptoConfig.cmake)
if(NOT pcs OR NOT configs)
  message(FATAL_ERROR "package files missing: '${pcs}' '${configs}'")
endif()

# find_package(QuillonCrypto) and the imported target.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK}/cmake-build -G ${GENERATOR}
  -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/cmake-build)
run(${WORK}/cmake-build/consumer)

# pkg-config, with the library found at run time through the rpath the flags lead to.
get_filename_component(pcdir ${pcs} DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pcdir}
  ${PKG_CONFIG} --cflags --libs quilloncrypto
  RESULT_VARIABLE rc OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know quilloncrypto")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
get_filename_component(libdir ${pcdir} DIRECTORY)
run(${C_COMPILER} ${SOURCE_DIR}/consumer/consumer.c ${flags} -Wl,-rpath,${libdir}
  -o ${WORK}/consumer-pc)
run(${WORK}/consumer-pc)

# The installed qlc finds the installed library by itself, and its file is still signed (the
# self-test passes on it).
execute_process(COMMAND ${prefix}/bin/qlc version RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "library file signature: valid, ${prefix}/")
  message(FATAL_ERROR "the installed library is not validly signed:\n${out}")
endif()
run(${prefix}/bin/qlc selftest)
