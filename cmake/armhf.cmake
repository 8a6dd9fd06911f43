# Cross-build for the device (32-bit ARMv7, hard float) with Debian's cross
# compiler and the armhf twins of the libraries; tests run under qemu-arm.
# Pass it with an absolute path: -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/armhf.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH /usr/lib/arm-linux-gnueabihf)
# moc, uic and rcc are the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# No -L (nor QEMU_LD_PREFIX): the cross toolchain's loader with Debian's
# armhf libc mixes two glibc builds and every pthread_create faults.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-arm)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig")
