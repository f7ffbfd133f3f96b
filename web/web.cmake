# The browser build (emcmake cmake): the demo's subsystems compiled to WebAssembly against our
# GL layer, Emscripten's GLUT, and libopenmpt and libjpeg built once from Debian's sources by
# scripts/web-deps into PARADE_WEB_DEPS. The page (web/) and the data are copied beside the
# program into ${CMAKE_BINARY_DIR}/site, the folder to publish.
set(PARADE_WEB_DEPS ${CMAKE_BINARY_DIR}/deps CACHE PATH "libopenmpt and libjpeg built for the web")
set(PARADE_NATIVE_BUILD ${PROJECT_SOURCE_DIR}/build CACHE PATH
    "Native build tree: its generated mesh tables and data")
foreach(lib openmpt jpeg)
    if(NOT EXISTS ${PARADE_WEB_DEPS}/lib/lib${lib}.a)
        message(FATAL_ERROR "lib${lib}.a for the web is missing: run scripts/web-deps first")
    endif()
endforeach()

# C++ exceptions and setjmp/longjmp (the picture decoder's error exit) with WebAssembly's own
# exception handling. Emscripten's older scheme routes every call that may throw through a
# JavaScript trampoline (invoke_*); WebKit's optimizing JIT now and then faults in optimized
# WebAssembly ("Out of bounds memory access"), and far more often behind such trampolines. The
# page loads itself once more after a fault before the show starts (web/page/page.js).
set(webExceptions -fwasm-exceptions -sSUPPORT_LONGJMP=wasm)
add_compile_options(${webExceptions})
add_link_options(${webExceptions})

# The names the subsystems link, pointed at what the browser offers.
add_library(PkgConfig::OPENMPT INTERFACE IMPORTED)
target_include_directories(PkgConfig::OPENMPT INTERFACE ${PARADE_WEB_DEPS}/include)
target_link_libraries(PkgConfig::OPENMPT INTERFACE ${PARADE_WEB_DEPS}/lib/libopenmpt.a)
add_library(JPEG::JPEG INTERFACE IMPORTED)
target_include_directories(JPEG::JPEG INTERFACE ${PARADE_WEB_DEPS}/include)
target_link_libraries(JPEG::JPEG INTERFACE ${PARADE_WEB_DEPS}/lib/libjpeg.a)
# The layer's <GL/freeglut.h> includes the browser toolkit's <GL/glut.h>; the calls that
# toolkit lacks are in src/platform/web/glut_web.cpp.
add_library(GLUT::GLUT INTERFACE IMPORTED)
target_link_options(GLUT::GLUT INTERFACE -lglut)
add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
add_library(Threads::Threads INTERFACE IMPORTED)
add_library(OpenGL::GL INTERFACE IMPORTED)
# The fixed-function calls go to our own GL layer on WebGL 2.
if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/fixedgl/CMakeLists.txt)
    message(FATAL_ERROR "the GL layer src/fixedgl is missing; the browser build needs it")
endif()
add_subdirectory(src/fixedgl)
target_link_libraries(OpenGL::GL INTERFACE parade_fixedgl)

parade_add_subsystems(${PARADE_NATIVE_BUILD})

set(siteDir ${CMAKE_BINARY_DIR}/site)
add_executable(parade-web ${PROJECT_SOURCE_DIR}/src/shell/main_web.cpp
    ${PROJECT_SOURCE_DIR}/src/shell/jumps_web.cpp)
target_link_libraries(parade-web PRIVATE parade_shell)
set_target_properties(parade-web PROPERTIES OUTPUT_NAME parade SUFFIX .js
    RUNTIME_OUTPUT_DIRECTORY ${siteDir})
target_link_options(parade-web PRIVATE
    -sENVIRONMENT=web
    -sINVOKE_RUN=0
    -sEXIT_RUNTIME=1
    -sALLOW_MEMORY_GROWTH=1
    -sINITIAL_MEMORY=64MB
    -sMIN_WEBGL_VERSION=2
    -sMAX_WEBGL_VERSION=2
    "-sEXPORTED_FUNCTIONS=_main,_webMenuChoose,_webCanvasResized,_webBeforeFrame,_webStopShow,_webStrikesFiredUpTo,_webSyncStamp,_webPrepareStep,_webPreparePictures,_webStartShow,_webSeekSeconds,_webHoldEnd,_webShowSeconds,_webMusicSeconds,_webShowLoops"
    "-sEXPORTED_RUNTIME_METHODS=callMain,FS")

# The page beside the program.
file(GLOB pageFiles CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/page/*)
foreach(pageFile ${pageFiles})
    get_filename_component(name ${pageFile} NAME)
    configure_file(${pageFile} ${siteDir}/${name} COPYONLY)
endforeach()
