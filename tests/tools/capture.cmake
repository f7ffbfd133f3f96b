# parade-capture run as a program: frames, video, sound, interruption, full disk, bad input.
parade_add_test(capture_cli_test LABELS tools TIMEOUT 900
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_cli_test.cpp
    LIBS parade_itwriter PNG::PNG)
target_compile_definitions(capture_cli_test PRIVATE
    CAPTURE_PROGRAM="$<TARGET_FILE:parade-capture>"
    CAPTURE_DEFAULT_DATA="${CMAKE_BINARY_DIR}/data"
    CAPTURE_PAINTER="${CMAKE_BINARY_DIR}/parade-paint")
add_dependencies(capture_cli_test parade-capture)
