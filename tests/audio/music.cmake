# The audio layer on small modules written by the tests: offline strikes, and live syncs on the
# silent output.
parade_add_test(music_offline_test LABELS audio
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_offline_test.cpp
    LIBS parade_music parade_itwriter)
parade_add_test(music_live_test LABELS audio tsan
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_live_test.cpp
    LIBS parade_music parade_itwriter)
parade_add_test(music_start_test LABELS audio
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_start_test.cpp
    LIBS parade_music parade_itwriter)
parade_add_test(music_jumps_test LABELS audio tsan
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_jumps_test.cpp
    LIBS parade_music parade_itwriter)
