# Toolchain for 64-bit ARM (Debian arm64), e.g. handhelds and boards with a
# Cortex-A53 or later: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/arm64.cmake.
# Needs crossbuild-essential-arm64; tools/deb arm64 installs the rest.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(bitrot_triplet aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
