parade_add_test(capture_core_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_core_test.cpp
    LIBS parade_capture_core)
