parade_add_test(itwriter_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/itwriter_test.cpp
    LIBS parade_itwriter PkgConfig::OPENMPT)
