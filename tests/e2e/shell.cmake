add_executable(parade-window-tool ${CMAKE_CURRENT_LIST_DIR}/window_tool.c)
target_link_libraries(parade-window-tool PRIVATE X11::X11)

add_test(NAME shell_e2e COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/shell_e2e.sh $<TARGET_FILE:parade>
    ${CMAKE_BINARY_DIR}/data $<TARGET_FILE:parade-window-tool>)
set_tests_properties(shell_e2e PROPERTIES LABELS e2e TIMEOUT 120)

add_test(NAME shell_xvfb_starts_e2e COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/shell_xvfb_starts.sh
    $<TARGET_FILE:parade> ${CMAKE_BINARY_DIR}/data 20)
set_tests_properties(shell_xvfb_starts_e2e PROPERTIES LABELS e2e TIMEOUT 240)
# The clock log's reader leaving, a FIFO without a reader and files that cannot be written.
add_test(NAME shell_clock_log_e2e COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/shell_clock_log_e2e.sh $<TARGET_FILE:parade> ${CMAKE_BINARY_DIR}/data)
set_tests_properties(shell_clock_log_e2e PROPERTIES LABELS e2e TIMEOUT 180)
