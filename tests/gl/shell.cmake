parade_add_test(shell_state_test LABELS gl SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_state_test.cpp
    LIBS parade_shell parade_test_support)
# The callbacks' toolkit calls, noted by wrappers that the link puts in front of freeglut's.
parade_add_test(shell_callbacks_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_callbacks_test.cpp
    LIBS parade_shell parade_test_support)
target_link_options(shell_callbacks_test PRIVATE
    "LINKER:--wrap=glutPostRedisplay,--wrap=glutIdleFunc,--wrap=glutDisplayFunc"
    "LINKER:--wrap=glutReshapeFunc,--wrap=glutKeyboardFunc,--wrap=glutSpecialFunc"
    "LINKER:--wrap=glutCreateMenu"
    "LINKER:--wrap=glutAddMenuEntry,--wrap=glutAttachMenu")
# Jumps and the loop in the running demo against parade-capture's frames, music on the silent
# output. It needs the build's default data, so it is labelled with the end-to-end tests.
parade_add_test(shell_jumps_test LABELS e2e TIMEOUT 600
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_jumps_test.cpp
    LIBS parade_shell parade_test_support PNG::PNG)
target_include_directories(shell_jumps_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/tools)
target_compile_definitions(shell_jumps_test PRIVATE
    CAPTURE_PROGRAM="$<TARGET_FILE:parade-capture>"
    CAPTURE_DEFAULT_DATA="${CMAKE_BINARY_DIR}/data")
add_dependencies(shell_jumps_test parade-capture)
target_link_options(shell_jumps_test PRIVATE "LINKER:--wrap=glutSwapBuffers")
