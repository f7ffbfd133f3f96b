# The lyric flip-book, the swirls and the cube floor, traced through marker lists in feedback.
add_library(parade_list_trace STATIC ${CMAKE_CURRENT_LIST_DIR}/list_trace.cpp)
target_link_libraries(parade_list_trace PUBLIC parade_test_support parade_effects OpenGL::GL
    GTest::gtest)
target_include_directories(parade_list_trace PUBLIC ${CMAKE_CURRENT_LIST_DIR})

parade_add_test(effects_flipbook_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_flipbook_test.cpp LIBS parade_list_trace)
parade_add_test(effects_swirls_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_swirls_test.cpp LIBS parade_list_trace)
