# The cube floor, traced through the marker lists of effects_flipbook_swirls.cmake.
parade_add_test(effects_floor_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_floor_test.cpp LIBS parade_list_trace)
