# 32-bit big-endian SPARC (V8+, the 32-bit ABI) Linux: Debian's sparc64 cross compiler in -m32
# mode, tests run by qemu user mode. Like SPARC hardware, qemu-sparc32plus raises SIGBUS on a
# misaligned load or store, so this build catches byte-order, ILP32 and alignment faults.
#   apt-get install --no-install-recommends g++-multilib-sparc64-linux-gnu qemu-user
#   cmake --preset sparc32 && cmake --build --preset sparc32 && ctest --preset sparc32
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR sparc)

set(CROSS_TRIPLE sparc64-linux-gnu)
set(CMAKE_C_COMPILER ${CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CROSS_TRIPLE}-g++)
# CMake passes the language flags to the linker driver too, so -m32 reaches every link line.
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")

# The 32-bit target libraries live in /usr/sparc64-linux-gnu/lib32. Debian's cross layout is not
# a real sysroot, so CMAKE_SYSROOT stays unset.
set(CMAKE_FIND_ROOT_PATH /usr/${CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Lets the linker follow the shared library's own dependencies (libstdc++, libm) when linking
# programs against it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,/usr/${CROSS_TRIPLE}/lib32")

# "qemu-sparc32plus -L /usr/sparc64-linux-gnu" would find the 64-bit /lib/ld-linux.so.2, so the
# 32-bit dynamic loader is started explicitly. It ignores LD_LIBRARY_PATH: tests that load a
# library by name pass its full path.
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-sparc32plus;/usr/${CROSS_TRIPLE}/lib32/ld-linux.so.2;--library-path;/usr/${CROSS_TRIPLE}/lib32)
