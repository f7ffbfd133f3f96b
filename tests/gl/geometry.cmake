# Geometry in a real context: the compiled lists read back through feedback mode.
parade_add_test(geometry_lists_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/geometry_lists_test.cpp
    LIBS parade_geometry parade_test_support)
