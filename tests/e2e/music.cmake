# The music of the real demo under Xvfb with no sound card.
add_test(NAME music_e2e COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/music_e2e.sh $<TARGET_FILE:parade>
    ${CMAKE_BINARY_DIR}/data)
set_tests_properties(music_e2e PROPERTIES LABELS e2e TIMEOUT 120)
