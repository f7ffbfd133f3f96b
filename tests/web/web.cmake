# The browser build in Chromium, Firefox ESR and WebKitGTK (label web). ./test builds the site
# with scripts/web-build before it runs these; the desktop capture and offline render are the
# references. web_drivers installs the npm drivers from tests/web/package-lock.json into the
# build tree first.
set(PARADE_WEB_SITE ${PROJECT_SOURCE_DIR}/build-web/site CACHE PATH
    "The built web site that the web tests load")
set(PARADE_WEB_DRIVERS ${CMAKE_BINARY_DIR}/web-drivers CACHE PATH
    "Where the browser drivers from the npm registry are installed")
find_program(PARADE_NODE node)
if(PARADE_NODE)
    add_test(NAME web_drivers COMMAND ${CMAKE_CURRENT_LIST_DIR}/install-drivers ${PARADE_WEB_DRIVERS})
    set_tests_properties(web_drivers PROPERTIES LABELS web FIXTURES_SETUP web_drivers TIMEOUT 900)
    # Each engine's run ends a hung browser by itself well before this time-out.
    foreach(engine chromium firefox webkit)
        add_test(NAME web_${engine}
            COMMAND ${PARADE_NODE} ${CMAKE_CURRENT_LIST_DIR}/page_test.mjs --engine ${engine}
                --site ${PARADE_WEB_SITE} --modules ${PARADE_WEB_DRIVERS}
                --capture $<TARGET_FILE:parade-capture> --syncs $<TARGET_FILE:parade-syncs>
                --data ${CMAKE_BINARY_DIR}/data --references ${CMAKE_BINARY_DIR}/web-references)
        set_tests_properties(web_${engine} PROPERTIES LABELS web FIXTURES_REQUIRED web_drivers
            TIMEOUT 3000)
    endforeach()
else()
    # Without node the browser tests cannot run: said, not passed over in silence.
    add_test(NAME web_node COMMAND sh -c "echo 'node (Node.js) is not installed: the browser tests cannot run' >&2; exit 1")
    set_tests_properties(web_node PROPERTIES LABELS web)
endif()
