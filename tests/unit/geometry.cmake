# Geometry without a GL context: the glyph grid, the glyph windows and the word layout.
parade_add_test(geometry_layout_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/geometry_layout_test.cpp
    LIBS parade_geometry)
