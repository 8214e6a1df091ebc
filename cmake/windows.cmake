# The Windows edition, configured by scripts/windows with cmake/mingw-w64.cmake:
# the demo and its frame tool over the core, linked statically against the
# libraries scripts/windows-libs builds from Debian's sources (found through
# CMAKE_PREFIX_PATH); opengl32.dll and glu32.dll come with Windows. Nothing
# that cannot exist there: no EGL, no icon, no asset makers (the font and the
# module come from a host build, CUBIC_HARMONY_ASSETS), no GoogleTest (the
# programs are tested under Wine from the host's tests).
set(CUBIC_HARMONY_ASSETS "" CACHE PATH "the host build folder holding fontpre.tga and zap_wave.it")
if(NOT EXISTS ${CUBIC_HARMONY_ASSETS}/fontpre.tga OR NOT EXISTS ${CUBIC_HARMONY_ASSETS}/zap_wave.it)
  message(FATAL_ERROR "CUBIC_HARMONY_ASSETS must name a folder with fontpre.tga and zap_wave.it")
endif()
find_package(FreeGLUT CONFIG REQUIRED)
find_package(SDL2 CONFIG REQUIRED)
find_package(PNG REQUIRED)
find_path(OPENMPT_INCLUDE_DIR libopenmpt/libopenmpt.h REQUIRED)
find_library(OPENMPT_LIBRARY openmpt REQUIRED)

add_library(player STATIC player/player.cpp)
target_include_directories(player PUBLIC player ${OPENMPT_INCLUDE_DIR})
target_compile_definitions(player PRIVATE SDL_MAIN_HANDLED)   # the demo has a main of its own
target_link_libraries(player PUBLIC files ${OPENMPT_LIBRARY} SDL2::SDL2-static)

# The desktop twin with Windows' own files: WGL's swap interval, the console.
add_library(desktop OBJECT desktop/options.cpp desktop/exit.cpp desktop/swap.cpp desktop/swap_wgl.cpp
                           desktop/system_windows.cpp)
target_include_directories(desktop PUBLIC desktop)
target_link_libraries(desktop PUBLIC democore player FreeGLUT::freeglut_static glu32 opengl32)
target_compile_definitions(desktop PRIVATE CUBIC_HARMONY_VERSION="${PROJECT_VERSION}")

# The GUI subsystem: a double-click opens no console window (system_windows.cpp
# finds the console it was started from).
add_executable(cubic-harmony WIN32 desktop/main.cpp)
target_link_libraries(cubic-harmony PRIVATE desktop)

# The frame tool, drawing through WGL in a window never shown.
add_library(pngimage STATIC tools/png_image.cpp)
target_include_directories(pngimage PUBLIC tools)
target_link_libraries(pngimage PUBLIC PNG::PNG opengl32)
add_executable(cubic-harmony-frame tools/frame/frame.cpp tools/offscreen.cpp tools/offscreen_wgl.cpp)
target_link_libraries(cubic-harmony-frame PRIVATE democore pngimage glu32 opengl32 gdi32)

# The two files beside the programs, as the release's folder has them.
foreach(asset fontpre.tga zap_wave.it)
  configure_file(${CUBIC_HARMONY_ASSETS}/${asset} ${CMAKE_BINARY_DIR}/${asset} COPYONLY)
endforeach()
