# The page's local server (scripts/web-serve): files only, quiet on bad paths.
add_test(NAME web_serve_test COMMAND ${PARADE_OWN_TMPDIR}
    ${CMAKE_CURRENT_LIST_DIR}/web_serve_test.sh
    ${PROJECT_SOURCE_DIR}/scripts/web-serve)
set_tests_properties(web_serve_test PROPERTIES LABELS tools TIMEOUT 60)
