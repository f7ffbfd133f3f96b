# parade-capture at other sizes: lines and points grow with the band, so the look holds; the
# supersampled capture.
parade_add_test(capture_look_test LABELS tools TIMEOUT 600
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_look_test.cpp LIBS parade_director PNG::PNG)
target_include_directories(capture_look_test PRIVATE ${PROJECT_SOURCE_DIR}/bench/look)
target_compile_definitions(capture_look_test PRIVATE
    CAPTURE_PROGRAM="$<TARGET_FILE:parade-capture>"
    CAPTURE_DEFAULT_DATA="${CMAKE_BINARY_DIR}/data")
add_dependencies(capture_look_test parade-capture)
