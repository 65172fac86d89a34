# Placeholder until the music's sources land: no tracks are built.
add_custom_target(bitrot_music)
