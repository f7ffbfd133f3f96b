# The demo's full-screen window on a 1920x1080 screen looks like the 640x480 show. Its label
# "live" keeps it out of ./test: the live strikes and the screenshot's moment follow the
# machine's load, and on a busy machine the frames drift apart (run it with ctest -L live).
parade_add_test(live_look_e2e LABELS live TIMEOUT 240
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_look_test.cpp
    LIBS parade_director parade_platform PNG::PNG X11::X11)
target_include_directories(live_look_e2e PRIVATE ${PROJECT_SOURCE_DIR}/bench/look
    ${PROJECT_SOURCE_DIR}/tests/tools ${PROJECT_SOURCE_DIR}/tests/unit)
target_compile_definitions(live_look_e2e PRIVATE
    PARADE_PROGRAM="$<TARGET_FILE:parade>"
    CAPTURE_PROGRAM="$<TARGET_FILE:parade-capture>"
    CAPTURE_DEFAULT_DATA="${CMAKE_BINARY_DIR}/data")
add_dependencies(live_look_e2e parade parade-capture)
