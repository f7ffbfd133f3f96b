# The Windows build (cmake -DCMAKE_TOOLCHAIN_FILE=win/mingw-toolchain.cmake): the demo's
# subsystems cross-compiled with mingw-w64 against freeglut, libjpeg-turbo, SDL2 and libopenmpt
# built once from Debian's sources by scripts/win-deps into PARADE_WIN_DEPS, linked into one
# static parade.exe that needs only the system's DLLs and its OpenGL.
set(PARADE_WIN_DEPS "" CACHE PATH "The libraries built for Windows (scripts/win-deps prints it)")
set(PARADE_NATIVE_BUILD ${PROJECT_SOURCE_DIR}/build CACHE PATH
    "Native build tree: its generated mesh tables")
file(GLOB freeglutLibrary ${PARADE_WIN_DEPS}/lib/libfreeglut*.a)
foreach(library libopenmpt.a libjpeg.a libSDL2.a)
    if(NOT EXISTS ${PARADE_WIN_DEPS}/lib/${library})
        message(FATAL_ERROR "${library} for Windows is missing from '${PARADE_WIN_DEPS}': "
            "run scripts/win-deps and pass what it prints as PARADE_WIN_DEPS")
    endif()
endforeach()
if(NOT freeglutLibrary)
    message(FATAL_ERROR "freeglut for Windows is missing from '${PARADE_WIN_DEPS}'")
endif()

# One program with its C and C++ runtimes and winpthreads inside, stripped.
add_link_options(-static -static-libgcc -static-libstdc++ -s)
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# The names the subsystems link, pointed at the libraries built for Windows.
set(deps ${PARADE_WIN_DEPS})
add_library(OpenGL::GL INTERFACE IMPORTED)
target_link_libraries(OpenGL::GL INTERFACE opengl32)
add_library(GLUT::GLUT INTERFACE IMPORTED)
target_include_directories(GLUT::GLUT INTERFACE ${deps}/include)
target_compile_definitions(GLUT::GLUT INTERFACE FREEGLUT_STATIC)
target_link_libraries(GLUT::GLUT INTERFACE ${freeglutLibrary} opengl32 gdi32 winmm)
add_library(JPEG::JPEG INTERFACE IMPORTED)
target_include_directories(JPEG::JPEG INTERFACE ${deps}/include)
target_link_libraries(JPEG::JPEG INTERFACE ${deps}/lib/libjpeg.a)
add_library(PkgConfig::OPENMPT INTERFACE IMPORTED)
target_include_directories(PkgConfig::OPENMPT INTERFACE ${deps}/include)
# rpcrt4 and ole32: the engine's identifiers and its Windows helpers.
target_link_libraries(PkgConfig::OPENMPT INTERFACE ${deps}/lib/libopenmpt.a rpcrt4 ole32)
# SDL2 with its audio only; main stays ours.
add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
target_include_directories(PkgConfig::SDL2 INTERFACE ${deps}/include/SDL2)
target_compile_definitions(PkgConfig::SDL2 INTERFACE SDL_MAIN_HANDLED)
target_link_libraries(PkgConfig::SDL2 INTERFACE ${deps}/lib/libSDL2.a user32 gdi32 winmm ole32 oleaut32
    imm32 version uuid advapi32 setupapi shell32)

parade_add_subsystems(${PARADE_NATIVE_BUILD})
