parade_add_test(soundtrack_test LABELS tools
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/soundtrack_test.cpp
    LIBS PkgConfig::OPENMPT)
target_compile_definitions(soundtrack_test PRIVATE PARADE_COMPOSE="$<TARGET_FILE:parade-compose>")
add_dependencies(soundtrack_test parade-compose)
