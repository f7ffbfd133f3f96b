# The director over a recording stand-in of the effects: material and camera are the real
# ones, the eleven effects only note their calls. The gl tier links it too.
file(GLOB directorUnderTestSources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/director/*.cpp)
add_library(parade_director_recorded STATIC ${directorUnderTestSources}
    ${PROJECT_SOURCE_DIR}/src/effects/material.cpp ${PROJECT_SOURCE_DIR}/src/effects/camera.cpp
    ${CMAKE_CURRENT_LIST_DIR}/director_effect_recorder.cpp)
target_include_directories(parade_director_recorded PUBLIC ${PROJECT_SOURCE_DIR}/src/director
    ${PROJECT_SOURCE_DIR}/src/effects ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(parade_director_recorded PUBLIC parade_clock parade_controls parade_music parade_textures
    OpenGL::GL)

parade_add_test(director_timeline_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/director_timeline_test.cpp LIBS parade_director_recorded)
parade_add_test(director_acts_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/director_acts_test.cpp LIBS parade_director_recorded)
parade_add_test(camera_schedule_test LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/camera_schedule_test.cpp LIBS parade_director_recorded)
