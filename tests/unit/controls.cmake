parade_add_test(controls_test LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_test.cpp
    LIBS parade_controls)
