# The demo's full-screen window on a 1920x1080 screen looks like the 640x480 show at the start
# of every pattern, reached with the jump keys while the pictures are paused.
parade_add_test(live_look_e2e LABELS e2e TIMEOUT 300
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_look_test.cpp
    LIBS parade_director parade_platform PNG::PNG X11::X11)
target_include_directories(live_look_e2e PRIVATE ${PROJECT_SOURCE_DIR}/bench/look
    ${PROJECT_SOURCE_DIR}/tests/tools)
target_compile_definitions(live_look_e2e PRIVATE
    PARADE_PROGRAM="$<TARGET_FILE:parade>"
    CAPTURE_PROGRAM="$<TARGET_FILE:parade-capture>"
    CAPTURE_DEFAULT_DATA="${CMAKE_BINARY_DIR}/data")
add_dependencies(live_look_e2e parade parade-capture)
