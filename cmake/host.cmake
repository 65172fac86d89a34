# A cross build (cmake/arm64.cmake, cmake/armhf.cmake, emscripten) can't run the programs
# it builds, yet the world table, the music, the icons and the man page are
# all made by running ours. A native build of this tree, named by
# BITROT_HOST_DIR, makes them; this build takes them from it as they are. They
# depend on the sources alone, never on the machine, so they are the same
# files a native build of the target would make.
set(BITROT_HOST_DIR "" CACHE PATH "native build folder of this tree that made the world, the music and the icons")
set(host ${BITROT_HOST_DIR})
set(host_files world/world_data.cpp world/world.bin world/world.rle)
if(EMSCRIPTEN)
  list(APPEND host_files 0.ogg 1.ogg bitrot-icon)
elseif(BITROT_DESKTOP)
  list(APPEND host_files 0.ogg 1.ogg bitrot icons/64x64/bitrot.png icons/128x128/bitrot.png
    icons/256x256/bitrot.png)
endif()
foreach(f ${host_files})
  if(NOT EXISTS ${host}/${f})
    message(FATAL_ERROR "BITROT_HOST_DIR (${host}) has no ${f}: build that native build first")
  endif()
endforeach()

add_library(bitrot_world STATIC ${host}/world/world_data.cpp)
# The .incbin is invisible to the compiler's dependency scan.
set_source_files_properties(${host}/world/world_data.cpp PROPERTIES OBJECT_DEPENDS
  "${host}/world/world.bin;${host}/world/world.rle")

# The music beside the program, where a native build has it.
if(BITROT_DESKTOP AND NOT EMSCRIPTEN)
  set(bitrot_tracks)
  foreach(track 0 1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${track}.ogg
      COMMAND ${CMAKE_COMMAND} -E copy ${host}/${track}.ogg ${CMAKE_BINARY_DIR}/${track}.ogg
      DEPENDS ${host}/${track}.ogg
      VERBATIM)
    list(APPEND bitrot_tracks ${CMAKE_BINARY_DIR}/${track}.ogg)
  endforeach()
  add_custom_target(bitrot_music ALL DEPENDS ${bitrot_tracks})
endif()
