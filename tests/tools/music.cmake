# parade-syncs on modules the test writes.
parade_add_test(music_syncs_test LABELS tools
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_syncs_test.cpp
    LIBS parade_music parade_itwriter)
target_compile_definitions(music_syncs_test PRIVATE PARADE_SYNCS="$<TARGET_FILE:parade-syncs>")
add_dependencies(music_syncs_test parade-syncs)
