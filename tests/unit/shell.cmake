parade_add_test(shell_cli_test LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_cli_test.cpp
    LIBS parade_shell)
