# Module loading and offline rendering with strike detection, on arbitrary bytes; seeds in
# corpus/music (small modules written by the IT writer).
parade_add_fuzzer(music SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_fuzz.cpp LIBS parade_music)
