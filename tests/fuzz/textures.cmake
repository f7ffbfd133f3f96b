# The JPEG decoder behind loadJpeg, on arbitrary bytes; seeds in corpus/jpeg.
parade_add_fuzzer(jpeg SOURCES ${CMAKE_CURRENT_LIST_DIR}/jpeg_fuzz.cpp LIBS parade_textures)
