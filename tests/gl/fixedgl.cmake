# The fixed-function layer against real GL 1.1: one scene renderer built twice, once on each,
# and a test that runs both on the same pictures and compares their frames pixel by pixel.
set(fixedglFrames ${CMAKE_CURRENT_LIST_DIR}/fixedgl_frames.cpp)
add_executable(fixedgl-frames-gl ${fixedglFrames})
target_link_libraries(fixedgl-frames-gl PRIVATE parade_shell parade_director parade_effects
    parade_geometry parade_textures parade_music parade_clock parade_platform GLUT::GLUT
    OpenGL::GL ${CMAKE_DL_LIBS})
add_executable(fixedgl-frames-layer ${fixedglFrames})
target_link_libraries(fixedgl-frames-layer PRIVATE parade_shell_fgl parade_director_fgl
    parade_effects_fgl parade_geometry_fgl parade_textures_fgl parade_music parade_clock
    parade_platform GLUT::GLUT ${CMAKE_DL_LIBS})

parade_add_test(fixedgl_compare_test LABELS gl TIMEOUT 240
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fixedgl_compare_test.cpp)
target_compile_definitions(fixedgl_compare_test PRIVATE
    PARADE_PAINT="$<TARGET_FILE:parade-paint>"
    FIXEDGL_FRAMES_GL="$<TARGET_FILE:fixedgl-frames-gl>"
    FIXEDGL_FRAMES_LAYER="$<TARGET_FILE:fixedgl-frames-layer>")
add_dependencies(fixedgl_compare_test parade-paint fixedgl-frames-gl fixedgl-frames-layer)

# The layer on an OpenGL ES 3.0 context, the API of WebGL 2 (EGL surfaceless, no display).
# EGL and the ES 3 headers come with freeglut3-dev (through libgl1-mesa-dev and libglvnd-dev).
find_package(OpenGL COMPONENTS EGL)
if(OpenGL_EGL_FOUND)
    parade_add_test(fixedgl_es_test LABELS gl SOURCES ${CMAKE_CURRENT_LIST_DIR}/fixedgl_es_test.cpp
        LIBS parade_fixedgl OpenGL::EGL)
else()
    message(WARNING "EGL not found (libegl-dev): the GL layer's ES 3.0 test is not built")
endif()
