parade_add_test(clock_test LABELS unit tsan SOURCES ${CMAKE_CURRENT_LIST_DIR}/clock_test.cpp
    LIBS parade_clock)
