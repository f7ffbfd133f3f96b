add_executable(parade-director-module ${CMAKE_CURRENT_LIST_DIR}/director_fixture_module.cpp)
target_link_libraries(parade-director-module PRIVATE parade_itwriter)
add_executable(parade-director-snapshot ${CMAKE_CURRENT_LIST_DIR}/director_snapshot.c)
target_link_libraries(parade-director-snapshot PRIVATE X11::X11 m)

add_test(NAME director_e2e COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/director_e2e.sh $<TARGET_FILE:parade>
    $<TARGET_FILE:parade-director-module> $<TARGET_FILE:parade-director-snapshot>)
set_tests_properties(director_e2e PROPERTIES LABELS e2e TIMEOUT 180)
