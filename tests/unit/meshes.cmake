parade_add_test(meshes_test LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/meshes_test.cpp
    LIBS parade_meshes)
target_include_directories(meshes_test PRIVATE ${PROJECT_SOURCE_DIR}/src/geometry)
