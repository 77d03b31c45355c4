# 64-bit Windows: Debian's MinGW-w64 cross compiler (posix thread model), tests run by Wine.
#   apt-get install --no-install-recommends g++-mingw-w64-x86-64-posix wine wine64
#   cmake --preset win64 && cmake --build --preset win64 && ctest --preset win64
# The project runs Wine with its own prefix inside the build tree (WINEPREFIX) and keeps one
# wineserver up for the whole test run (tests/CMakeLists.txt); see the README.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CROSS_TRIPLE x86_64-w64-mingw32)
# The posix thread model gives std::mutex, std::call_once and std::thread.
set(CMAKE_C_COMPILER ${CROSS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CROSS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CROSS_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained .exe and .dll files: libgcc, libstdc++ and winpthread are linked in, so the
# DLL needs nothing but system DLLs (KERNEL32, msvcrt, bcrypt) on Windows and under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Debian 12 installs the 64-bit loader as /usr/lib/wine/wine64; the "wine" wrapper also works.
find_program(WINE64_EXECUTABLE NAMES wine64 wine HINTS /usr/lib/wine)
if(WINE64_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE64_EXECUTABLE})
endif()
