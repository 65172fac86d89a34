# Installing bitrot: the program in a private folder, a launcher on the PATH
# that starts it from the data folder with the music, a desktop entry,
# AppStream metainfo and icons drawn from the world image.
include(GNUInstallDirs)

# Our own reverse-DNS name for the desktop entry and the metainfo.
set(BITROT_APP_ID org.bitrot.bitrot CACHE STRING "Application id of the desktop entry and the metainfo")

set(bitrot_progdir ${CMAKE_INSTALL_LIBEXECDIR}/bitrot)
set(bitrot_datadir ${CMAKE_INSTALL_DATADIR}/bitrot)

# The launcher finds the program and the data relative to itself, so the
# installed tree works from any prefix and can be moved; only folders given
# as absolute paths are written in as they are.
function(bitrot_launcher_path var dir)
  if(IS_ABSOLUTE "${dir}")
    set(path "${dir}")
  elseif(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    set(path "${CMAKE_INSTALL_PREFIX}/${dir}")
  else()
    file(RELATIVE_PATH rel "/p/${CMAKE_INSTALL_BINDIR}" "/p/${dir}")
    set(path "$here/${rel}")
  endif()
  set(${var} "\"${path}\"" PARENT_SCOPE)
endfunction()
bitrot_launcher_path(launcher_data ${bitrot_datadir})
bitrot_launcher_path(launcher_prog ${bitrot_progdir}/bitrot)
configure_file(${CMAKE_SOURCE_DIR}/packaging/bitrot.in ${CMAKE_BINARY_DIR}/launcher/bitrot @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/bitrot.desktop.in
  ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/bitrot.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.metainfo.xml @ONLY)

# The icon: the player's picture from the built-in world image, scaled up.
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
add_executable(bitrot-icon ${CMAKE_SOURCE_DIR}/tools/icon/icon.cpp)
target_link_libraries(bitrot-icon PRIVATE bitrot_core PkgConfig::PNG)
set(bitrot_icons)
foreach(size 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/bitrot.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND bitrot-icon ${size} ${png}
    DEPENDS bitrot-icon
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  list(APPEND bitrot_icons ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(bitrot_icons ALL DEPENDS ${bitrot_icons})

install(TARGETS bitrot RUNTIME DESTINATION ${bitrot_progdir})
install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/bitrot DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/0.ogg ${CMAKE_BINARY_DIR}/1.ogg DESTINATION ${bitrot_datadir})
install(FILES ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${BITROT_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
