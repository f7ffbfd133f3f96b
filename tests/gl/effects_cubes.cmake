# The cube wheel, cube field, letter layers and logo picture, traced through the marker lists
# of list_trace (tests/gl/effects_flipbook_swirls.cmake).
parade_add_test(effects_wheel_field_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_wheel_field_test.cpp LIBS parade_list_trace)
parade_add_test(effects_letters_logo_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_letters_logo_test.cpp LIBS parade_list_trace)
# The envelope lengths inside the cube effects, read mid-decay.
parade_add_test(effects_envelopes_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_envelopes_test.cpp LIBS parade_list_trace)
