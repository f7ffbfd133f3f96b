parade_add_test(shell_state_test LABELS gl SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_state_test.cpp
    LIBS parade_shell parade_test_support)
# The callbacks' toolkit calls, noted by wrappers that the link puts in front of freeglut's.
parade_add_test(shell_callbacks_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_callbacks_test.cpp
    LIBS parade_shell parade_test_support)
target_link_options(shell_callbacks_test PRIVATE
    "LINKER:--wrap=glutPostRedisplay,--wrap=glutIdleFunc,--wrap=glutDisplayFunc"
    "LINKER:--wrap=glutReshapeFunc,--wrap=glutKeyboardFunc,--wrap=glutCreateMenu"
    "LINKER:--wrap=glutAddMenuEntry,--wrap=glutAttachMenu")
