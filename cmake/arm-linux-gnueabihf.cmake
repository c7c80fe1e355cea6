# Cross build for the device: 32-bit ARM, hard-float, with Debian's cross compiler
# (crossbuild-essential-armhf). Programs built here run on the build machine through qemu-user
# (qemu-user or qemu-user-static), so ctest runs the test suite under emulation.
#
#   cmake -S . -B build/arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
#   cmake --build build/arm -j2 && ctest --test-dir build/arm
#   DESTDIR=/path/to/sysroot cmake --install build/arm --prefix /usr --strip
#
# WEBJSON_ARM_SYSROOT: where the target's libraries live (default /usr/arm-linux-gnueabihf);
# qemu-arm is told to load the dynamic linker and libraries from there.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(WEBJSON_ARM_TRIPLE arm-linux-gnueabihf)
set(WEBJSON_ARM_SYSROOT /usr/${WEBJSON_ARM_TRIPLE} CACHE PATH "Target root for qemu-arm -L")

set(CMAKE_C_COMPILER ${WEBJSON_ARM_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${WEBJSON_ARM_TRIPLE}-g++)
# Everything here is built by one compiler: its notes on how GCC 7.1 changed the passing of some
# arguments on ARM say nothing about this build.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
find_program(WEBJSON_ARM_STRIP ${WEBJSON_ARM_TRIPLE}-strip)
if(WEBJSON_ARM_STRIP)
  set(CMAKE_STRIP ${WEBJSON_ARM_STRIP} CACHE FILEPATH "" FORCE)
endif()

# Look for the target's libraries, headers and packages under the target roots only: the
# toolchain's, plus any given with -DCMAKE_FIND_ROOT_PATH=<sysroot> (a device image holding an
# installed webjson). Programs (code generators, pkg-config) come from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH ${WEBJSON_ARM_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config finds the target's .pc files only (Debian's multiarch folders), never the build
# machine's: a library installed for the build machine alone is then absent, as it should be.
set(ENV{PKG_CONFIG_LIBDIR}
    "/usr/lib/${WEBJSON_ARM_TRIPLE}/pkgconfig:${WEBJSON_ARM_SYSROOT}/lib/pkgconfig:/usr/share/pkgconfig")

find_program(WEBJSON_QEMU_ARM NAMES qemu-arm qemu-arm-static)
if(WEBJSON_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WEBJSON_QEMU_ARM} -L ${WEBJSON_ARM_SYSROOT})
endif()
