# A Debian package of the installed tree: `cpack` in the build folder (or
# `make package`) writes bitrot_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bitrot)
set(CPACK_PACKAGE_VENDOR "The bitrot developers")
set(CPACK_PACKAGE_CONTACT "The bitrot developers <bitrot@bitrot.invalid>"
  CACHE STRING "Maintainer named in the package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based game on a decaying 320x240 display")
# The summary above is the package's first line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Walk a cave one step per key press while a growth spreads behind you,
ripening through four stages and overrunning every free square once ripe.
The display itself decays: pixels dim, flicker and smear, and the colours
drift. Step onto a mender to repair it. Two music tracks follow the danger.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends comes from the libraries the program links (needs dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# A cross build's package is for the target, named from the compilers'
# triplet. dpkg-shlibdeps reads the target's program as it is and finds the
# target's multiarch libraries by itself.
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
