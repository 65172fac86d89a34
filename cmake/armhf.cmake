# Toolchain for 32-bit ARM with hardware floating point (Debian armhf, ARMv7),
# e.g. older handhelds and boards: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/armhf.cmake.
# Needs crossbuild-essential-armhf; tools/deb armhf installs the rest.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(bitrot_triplet arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
