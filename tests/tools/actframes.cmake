# The act frames program on an empty data directory.
parade_add_test(actframes_test LABELS tools
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/actframes_test.cpp LIBS PNG::PNG)
target_compile_definitions(actframes_test PRIVATE
    PARADE_ACTFRAMES="$<TARGET_FILE:parade-actframes>")
add_dependencies(actframes_test parade-actframes)
