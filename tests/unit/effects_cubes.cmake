# The hashes that choose wire or solid cubes in the cube wheel and the cube field.
parade_add_test(effects_hash_test LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_hash_test.cpp
    LIBS parade_effects)
