# Textures without a GL context: the box filter and JPEG decoding.
parade_add_test(textures_decode_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/textures_decode_test.cpp
    LIBS parade_textures)
