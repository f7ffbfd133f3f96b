# The pictures with the music: a stopped demo, the jump keys and the loop, from the clock log.
add_test(NAME jumps_e2e COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/jumps_e2e.sh $<TARGET_FILE:parade> ${CMAKE_BINARY_DIR}/data)
set_tests_properties(jumps_e2e PROPERTIES LABELS e2e TIMEOUT 300)
