# Installation: the header, the library (the one without test hooks), qlc, a CMake package (find_package(QuillonCrypto)
# gives the imported target QuillonCrypto::QuillonCrypto) and a pkg-config file
# (quilloncrypto.pc). Included at the end of the top-level CMakeLists.txt, after every target.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QuillonCrypto)

install(TARGETS ${QL_INSTALLED_LIBRARY} EXPORT QuillonCryptoTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The installed library must be the signed file byte for byte: `cmake --install --strip`
# rewrites it, which breaks the signature the self-test checks, so such an install fails.
if(WIN32)
  set(_ql_library_dir ${CMAKE_INSTALL_BINDIR})
else()
  set(_ql_library_dir ${CMAKE_INSTALL_LIBDIR})
endif()
install(CODE "
  set(_built \"$<TARGET_FILE:${QL_INSTALLED_LIBRARY}>\")
  set(_installed
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${_ql_library_dir}/$<TARGET_FILE_NAME:${QL_INSTALLED_LIBRARY}>\")
  file(SHA256 \${_built} _want)
  file(SHA256 \${_installed} _got)
  if(NOT _got STREQUAL _want)
    message(FATAL_ERROR \"\${_installed} differs from the signed \${_built} (installed with \"
      \"--strip?): its signature no longer verifies; install without --strip\")
  endif()")
install(FILES ${PROJECT_SOURCE_DIR}/include/QuillonCrypto.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS qlc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The Java bridge and its jar, when this build has them (bridge/CMakeLists.txt): the bridge
# library `qlbridge` and the jar `cmvp_jar` made by add_jar(), whose JAR_FILE names the file.
if(TARGET qlbridge)
  if(NOT WIN32)
    set_target_properties(qlbridge PROPERTIES INSTALL_RPATH "$ORIGIN")
  endif()
  install(TARGETS qlbridge
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
if(TARGET cmvp_jar)
  get_target_property(QL_JAR_FILE cmvp_jar JAR_FILE)
  install(FILES ${QL_JAR_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
endif()

install(EXPORT QuillonCryptoTargets NAMESPACE QuillonCrypto::
  DESTINATION ${QL_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuillonCryptoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuillonCryptoConfig.cmake INSTALL_DESTINATION ${QL_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuillonCryptoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuillonCryptoConfig.cmake
  ${PROJECT_BINARY_DIR}/QuillonCryptoConfigVersion.cmake DESTINATION ${QL_INSTALL_CMAKEDIR})

# pkg-config: paths relative to the .pc file, so an installed tree may be moved.
file(RELATIVE_PATH QL_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" QL_PC_TO_PREFIX "${QL_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quilloncrypto.pc.in
  ${PROJECT_BINARY_DIR}/quilloncrypto.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quilloncrypto.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
