# Toolchain for the handheld port (tools/port): 64-bit ARM, built with
# Debian's cross compiler against a Debian 11 (bullseye) arm64 root named by
# BITROT_SYSROOT, which port-libs (beside this file) makes. Handheld firmwares carry a
# glibc as old as 2.30 and a C++ library as old as GCC 9's, so the program
# asks only for what bullseye's glibc has, and uses the firmware's own
# libstdc++ and libgcc_s (linked against bullseye's, and held by
# tests/port/check.sh to what GCC 9.1's have): a C++ runtime linked in
# breaks in ways that depend on the device.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(BITROT_SYSROOT "" CACHE PATH "the bullseye arm64 root that port-libs made")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BITROT_SYSROOT)
if(NOT IS_DIRECTORY "${BITROT_SYSROOT}/usr/include")
  message(FATAL_ERROR "BITROT_SYSROOT (${BITROT_SYSROOT}) is not a root: tools/port makes one")
endif()
set(CMAKE_SYSROOT ${BITROT_SYSROOT})
# Debian's cross compilers, held to the root (port-libs writes these).
set(CMAKE_C_COMPILER ${BITROT_SYSROOT}/../bin/gcc)
set(CMAKE_CXX_COMPILER ${BITROT_SYSROOT}/../bin/g++)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# SDL 2, when linked, is the firmware's, and what it needs in turn is the
# firmware's business: the root has SDL 2's library but not its needs.
# zlib (for links to runs) goes into the program: the port asks the firmware
# for no zlib.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--allow-shlib-undefined")

# pkg-config reads the root's .pc files only, and answers with its paths.
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${BITROT_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
  ${BITROT_SYSROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${BITROT_SYSROOT}/usr/share/pkgconfig)
