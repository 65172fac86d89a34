# The world image: worldgen turns the text sources in assets/world into the raw
# image, the same packed for the browser, and a tiny C++ file that embeds
# them with .incbin, every build.
find_package(PNG REQUIRED)

add_executable(worldgen ${CMAKE_CURRENT_LIST_DIR}/world/worldgen.cpp)
target_link_libraries(worldgen PRIVATE PNG::PNG)

set(world_sources
  ${CMAKE_CURRENT_LIST_DIR}/world/map.txt
  ${CMAKE_CURRENT_LIST_DIR}/world/sprites.txt
  ${CMAKE_CURRENT_LIST_DIR}/world/title.txt)
set(world_dir ${CMAKE_BINARY_DIR}/world)
file(MAKE_DIRECTORY ${world_dir})

add_custom_command(
  OUTPUT ${world_dir}/world.bin ${world_dir}/world.rle ${world_dir}/world_data.cpp
  COMMAND worldgen ${CMAKE_CURRENT_LIST_DIR}/world --bin ${world_dir}/world.bin
          --cpp ${world_dir}/world_data.cpp --png ${world_dir}
  DEPENDS worldgen ${world_sources}
  COMMENT "Building the world image from assets/world"
  VERBATIM)

add_library(bitrot_world STATIC ${world_dir}/world_data.cpp)
# The .incbin is invisible to the compiler's dependency scan.
set_source_files_properties(${world_dir}/world_data.cpp PROPERTIES OBJECT_DEPENDS
  "${world_dir}/world.bin;${world_dir}/world.rle")
target_include_directories(bitrot_world PUBLIC ${CMAKE_SOURCE_DIR}/src)

# `make worldpictures` refreshes the pictures in docs/ that the README shows.
add_custom_target(worldpictures
  COMMAND worldgen ${CMAKE_CURRENT_LIST_DIR}/world --png ${CMAKE_SOURCE_DIR}/docs
  DEPENDS worldgen ${world_sources}
  COMMENT "Writing docs/world.png, docs/map.png and docs/title.png")
