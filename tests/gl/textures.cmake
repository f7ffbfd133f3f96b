# Textures in a real context: upload, the 256x256 fallback, the JPEG and raw paths, the set.
parade_add_test(textures_gl_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/textures_gl_test.cpp
    LIBS parade_textures parade_test_support)
target_include_directories(textures_gl_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../unit)
