parade_add_test(shell_state_test LABELS gl SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_state_test.cpp
    LIBS parade_shell parade_test_support)
