# Placeholder until the world image's sources land: an all-zero image.
add_library(bitrot_world STATIC ${CMAKE_CURRENT_LIST_DIR}/placeholder_world.cpp)
target_include_directories(bitrot_world PUBLIC ${CMAKE_SOURCE_DIR}/src)
