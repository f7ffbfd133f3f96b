parade_add_test(director_frame_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/director_frame_test.cpp
    LIBS parade_director_recorded parade_test_support)
parade_add_test(camera_pose_test LABELS gl SOURCES ${CMAKE_CURRENT_LIST_DIR}/camera_pose_test.cpp
    LIBS parade_director_recorded parade_test_support)
parade_add_test(director_layers_test LABELS gl
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/director_layers_test.cpp
    LIBS parade_director_recorded parade_test_support)
