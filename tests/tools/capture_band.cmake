# parade-capture --size: the picture's band at another shape of frame.
parade_add_test(capture_band_test LABELS tools TIMEOUT 300
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_band_test.cpp LIBS PNG::PNG)
target_compile_definitions(capture_band_test PRIVATE
    CAPTURE_PROGRAM="$<TARGET_FILE:parade-capture>"
    CAPTURE_DEFAULT_DATA="${CMAKE_BINARY_DIR}/data")
add_dependencies(capture_band_test parade-capture)
