parade_add_test(director_band_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/director_band_test.cpp LIBS parade_director)
