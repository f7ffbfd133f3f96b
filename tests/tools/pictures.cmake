# Runs the painter several times; generous time for the sanitizer builds.
parade_add_test(pictures_test LABELS tools TIMEOUT 900
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/pictures_test.cpp LIBS JPEG::JPEG)
target_compile_definitions(pictures_test PRIVATE PARADE_PAINT="$<TARGET_FILE:parade-paint>")
add_dependencies(pictures_test parade-paint)
