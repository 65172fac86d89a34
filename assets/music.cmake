# The two music tracks, rendered from the scores in assets/music/ by our own
# synthesizer (assets/music/synth) into the build folder, where the game runs from.
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET ogg vorbis vorbisenc vorbisfile)

add_library(bitrot_synth STATIC
  ${CMAKE_SOURCE_DIR}/assets/music/synth/score.cpp
  ${CMAKE_SOURCE_DIR}/assets/music/synth/render.cpp)
target_include_directories(bitrot_synth PUBLIC ${CMAKE_SOURCE_DIR}/assets/music)

add_executable(bitrot-synth ${CMAKE_SOURCE_DIR}/assets/music/synth/main.cpp)
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
