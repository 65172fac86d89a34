# Installing bitrot the way Debian lays out a game: the program in games/,
# its music in share/games/bitrot, a man page, the copyright and the
# changelog; and a desktop entry, AppStream metainfo and icons drawn from the
# world image.
include(GNUInstallDirs)

# Our own reverse-DNS name for the desktop entry and the metainfo.
set(BITROT_APP_ID org.bitrot.bitrot CACHE STRING "Application id of the desktop entry and the metainfo")
set(BITROT_GAMESDIR games CACHE STRING "Where the game's program goes")
set(BITROT_DATADIR ${CMAKE_INSTALL_DATADIR}/games/bitrot CACHE STRING "Where the game's music goes")

# The program finds its data folder relative to itself, so the installed tree
# works from any prefix and can be moved; only a folder given as an absolute
# path is written in as it is.
if(IS_ABSOLUTE "${BITROT_DATADIR}")
  set(bitrot_data "${BITROT_DATADIR}")
elseif(IS_ABSOLUTE "${BITROT_GAMESDIR}")
  set(bitrot_data "${CMAKE_INSTALL_PREFIX}/${BITROT_DATADIR}")
else()
  file(RELATIVE_PATH bitrot_data "/p/${BITROT_GAMESDIR}" "/p/${BITROT_DATADIR}")
endif()
target_compile_definitions(bitrot_desktop PRIVATE BITROT_DATA="${bitrot_data}"
  BITROT_VERSION="${PROJECT_VERSION}")

configure_file(${CMAKE_SOURCE_DIR}/packaging/bitrot.desktop.in
  ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/bitrot.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.metainfo.xml @ONLY)

# The icon: the player's picture from the built-in world image, scaled up; a
# cross build takes the native build's (cmake/host.cmake).
if(NOT CMAKE_CROSSCOMPILING)
  pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
  add_executable(bitrot-icon ${CMAKE_SOURCE_DIR}/assets/world/icon.cpp)
  target_link_libraries(bitrot-icon PRIVATE bitrot_core PkgConfig::PNG)
endif()
set(bitrot_icons)
foreach(size 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/bitrot.png)
  if(CMAKE_CROSSCOMPILING)
    set(draw ${CMAKE_COMMAND} -E copy ${BITROT_HOST_DIR}/icons/${size}x${size}/bitrot.png ${png})
    set(from ${BITROT_HOST_DIR}/icons/${size}x${size}/bitrot.png)
  else()
    set(draw bitrot-icon ${size} ${png})
    set(from bitrot-icon)
  endif()
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${draw}
    DEPENDS ${from}
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  list(APPEND bitrot_icons ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(bitrot_icons ALL DEPENDS ${bitrot_icons})

# The man page, made from the program's own --help and --version with the
# sections in packaging/bitrot.h2m; and the changelog. Both compressed the way
# Debian wants them: the most, with no name or time stamp inside.
set(man ${CMAKE_BINARY_DIR}/packaging/bitrot.6)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND gzip -9nkf ${changelog}
  DEPENDS ${changelog}
  VERBATIM)
add_custom_target(bitrot_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# A cross build asks the native build's program, whose --help and --version
# come from the same source.
find_program(HELP2MAN help2man)
if(CMAKE_CROSSCOMPILING)
  set(helped ${BITROT_HOST_DIR}/bitrot)
else()
  set(helped $<TARGET_FILE:bitrot>)
endif()
if(HELP2MAN)
  add_custom_command(OUTPUT ${man}.gz
    COMMAND ${HELP2MAN} --no-info --section=6 --name "turn-based game on a decaying display"
      --include=${CMAKE_SOURCE_DIR}/packaging/bitrot.h2m --output=${man} ${helped}
    COMMAND gzip -9nf ${man}
    DEPENDS bitrot ${CMAKE_SOURCE_DIR}/packaging/bitrot.h2m
    COMMENT "Writing the man page"
    VERBATIM)
  add_custom_target(bitrot_man ALL DEPENDS ${man}.gz)
  install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
else()
  message(WARNING "help2man is not installed (tools/lib.sh lists it): no man page will be installed")
endif()

install(TARGETS bitrot RUNTIME DESTINATION ${BITROT_GAMESDIR})
install(FILES ${CMAKE_BINARY_DIR}/0.ogg ${CMAKE_BINARY_DIR}/1.ogg DESTINATION ${BITROT_DATADIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
