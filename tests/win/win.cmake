# The Windows build under Wine on Xvfb (label win). ./test cross-builds parade.exe with
# scripts/win-build before it runs these; the desktop capture is the reference for the frame.
# win_prefix makes the Wine prefix once in the build tree; every test ends Wine's server.
set(PARADE_WIN_EXE ${PROJECT_SOURCE_DIR}/build-win/parade.exe CACHE FILEPATH
    "The cross-built parade.exe that the win tests run under Wine")
set(PARADE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix CACHE PATH "The win tests' Wine prefix")
add_test(NAME win_prefix COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-prefix ${PARADE_WINE_PREFIX})
set_tests_properties(win_prefix PROPERTIES LABELS win FIXTURES_SETUP win_prefix TIMEOUT 600
    RESOURCE_LOCK wine)
foreach(name start show)
    add_test(NAME win_${name}_e2e COMMAND ${PARADE_OWN_TMPDIR}
        ${CMAKE_CURRENT_LIST_DIR}/win_${name}_e2e.sh ${PARADE_WIN_EXE} ${PARADE_WINE_PREFIX}
        ${CMAKE_BINARY_DIR}/data $<TARGET_FILE:parade-capture>
        $<TARGET_FILE:parade-director-snapshot>)
    set_tests_properties(win_${name}_e2e PROPERTIES LABELS win FIXTURES_REQUIRED win_prefix
        TIMEOUT 600 RESOURCE_LOCK wine)
endforeach()
