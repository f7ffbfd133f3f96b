# The browser build in headless Chromium (label web). ./test builds the site with
# scripts/web-build before it runs these; the desktop capture and offline render are the
# references.
set(PARADE_WEB_SITE ${PROJECT_SOURCE_DIR}/build-web/site CACHE PATH
    "The built web site that the web tests load")
find_program(PARADE_NODE node)
if(PARADE_NODE)
    foreach(case stills show missing-module jumps)
        add_test(NAME web_${case}
            COMMAND ${PARADE_NODE}
                ${CMAKE_CURRENT_LIST_DIR}/page_test.mjs ${case} --site ${PARADE_WEB_SITE}
                --capture $<TARGET_FILE:parade-capture> --syncs $<TARGET_FILE:parade-syncs>
                --data ${CMAKE_BINARY_DIR}/data)
        set_tests_properties(web_${case} PROPERTIES LABELS web TIMEOUT 900)
    endforeach()
endif()
