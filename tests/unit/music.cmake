# The sync envelopes and the sync procedure, on the frozen virtual clock.
parade_add_test(music_envelopes_test LABELS unit tsan
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_envelopes_test.cpp
    LIBS parade_music)
# The strike feed: the offline strike list as SyncPoint stamps at any demo time.
parade_add_test(music_strike_feed_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_strike_feed_test.cpp
    LIBS parade_music)
