# The two music tracks, rendered from the scores in assets/music/ by our own
# synthesizer (tools/synth) into the build folder, where the game runs from.
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET ogg vorbis vorbisenc vorbisfile)

add_library(bitrot_synth STATIC
  ${CMAKE_SOURCE_DIR}/tools/synth/score.cpp
  ${CMAKE_SOURCE_DIR}/tools/synth/render.cpp)
target_include_directories(bitrot_synth PUBLIC ${CMAKE_SOURCE_DIR}/tools)

add_executable(bitrot-synth ${CMAKE_SOURCE_DIR}/tools/synth/main.cpp)
target_link_libraries(bitrot-synth PRIVATE bitrot_synth PkgConfig::VORBIS)

set(bitrot_tracks)
foreach(track 0 1)
  set(score ${CMAKE_SOURCE_DIR}/assets/music/${track}.score)
  set(ogg ${CMAKE_BINARY_DIR}/${track}.ogg)
  add_custom_command(OUTPUT ${ogg}
    COMMAND bitrot-synth ${score} ${ogg}
    DEPENDS bitrot-synth ${score}
    COMMENT "Rendering music track ${track}.ogg"
    VERBATIM)
  list(APPEND bitrot_tracks ${ogg})
endforeach()
add_custom_target(bitrot_music ALL DEPENDS ${bitrot_tracks})

# The test program comes later in the top folder; once it exists, give it the
# synthesizer (for the score reader's tests) and the Vorbis decoder (for
# checking the built tracks), and have the tracks built before it runs.
function(bitrot_music_tests)
  if(TARGET bitrot-tests)
    target_link_libraries(bitrot-tests PRIVATE bitrot_synth PkgConfig::VORBIS)
    add_dependencies(bitrot-tests bitrot_music bitrot bitrot-synth)
  endif()
endfunction()
cmake_language(DEFER CALL bitrot_music_tests)
