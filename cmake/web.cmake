# The browser build's own part: the site any static host can serve (the
# page, the program's JS and wasm, xterm.js and its stylesheet, the
# licence), and the tests that run there: the platform-neutral unit tests
# under node, and the page in headless Chromium. xterm.js and the browser
# driver come from npm at the versions of the committed lock file.

# SIMD for the step's inner loop; clang 14 vectorises it only without
# load PRE ("value that could not be identified as reduction").
target_compile_options(glimmet2core PUBLIC -msimd128)
set_source_files_properties(automaton/step.cpp PROPERTIES
                            COMPILE_OPTIONS "-O3;-mllvm;-enable-load-pre=false")

target_link_options(glimmet2 PRIVATE
  --no-entry -sMODULARIZE=1 -sEXPORT_NAME=GlimmetProgram -sENVIRONMENT=web
  -sFILESYSTEM=0 -sALLOW_MEMORY_GROWTH=1
  -sEXPORTED_FUNCTIONS=_glimmet_start,_glimmet_input,_glimmet_close_window)

find_program(GLIMMET2_NPM npm REQUIRED)
set(GLIMMET2_NPM_DIR ${CMAKE_BINARY_DIR}/npm)
set(GLIMMET2_XTERM ${GLIMMET2_NPM_DIR}/node_modules/@xterm/xterm)
# Only the tests need the browser driver.
if(GLIMMET2_TESTS)
  set(GLIMMET2_NPM_CI npm ci --no-audit --no-fund --loglevel=error)
else()
  set(GLIMMET2_NPM_CI npm ci --omit=dev --no-audit --no-fund --loglevel=error)
endif()
add_custom_command(
  OUTPUT ${GLIMMET2_NPM_DIR}/installed
  COMMAND ${CMAKE_COMMAND} -E make_directory ${GLIMMET2_NPM_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/web/package.json
          ${CMAKE_CURRENT_SOURCE_DIR}/web/package-lock.json ${GLIMMET2_NPM_DIR}
  COMMAND ${CMAKE_COMMAND} -E chdir ${GLIMMET2_NPM_DIR} ${GLIMMET2_NPM_CI}
  COMMAND ${CMAKE_COMMAND} -E touch ${GLIMMET2_NPM_DIR}/installed
  DEPENDS web/package.json web/package-lock.json
  COMMENT "Installing the page's npm packages from the lock file")

set(GLIMMET2_SITE ${CMAKE_BINARY_DIR}/site)
set(GLIMMET2_PAGE_FILES web/index.html web/page.js web/page.css)
add_custom_command(
  OUTPUT ${GLIMMET2_SITE}/index.html
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${GLIMMET2_SITE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${GLIMMET2_SITE}
  COMMAND ${CMAKE_COMMAND} -E copy ${GLIMMET2_PAGE_FILES} ${GLIMMET2_SITE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:glimmet2>
          $<TARGET_FILE_DIR:glimmet2>/glimmet2.wasm ${GLIMMET2_SITE}
  COMMAND ${CMAKE_COMMAND} -E copy ${GLIMMET2_XTERM}/lib/xterm.js
          ${GLIMMET2_XTERM}/css/xterm.css ${GLIMMET2_SITE}
  COMMAND ${CMAKE_COMMAND} -E copy LICENSE ${GLIMMET2_SITE}/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E copy data/icons/hicolor/32x32/apps/glimmet2.png
          ${GLIMMET2_SITE}/icon.png
  WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
  DEPENDS glimmet2 ${GLIMMET2_PAGE_FILES} LICENSE data/icons/hicolor/32x32/apps/glimmet2.png
          ${GLIMMET2_NPM_DIR}/installed
  COMMENT "Putting the site together in ${GLIMMET2_SITE}")
add_custom_target(site ALL DEPENDS ${GLIMMET2_SITE}/index.html)

# The floor `make bench-web` measures the page against (bench/web.js).
add_executable(glimmet2-floor EXCLUDE_FROM_ALL bench/web_floor.cpp)
target_link_libraries(glimmet2-floor PRIVATE glimmet2core)
set_target_properties(glimmet2-floor PROPERTIES OUTPUT_NAME web_floor)
target_link_options(glimmet2-floor PRIVATE
  --no-entry -sMODULARIZE=1 -sEXPORT_NAME=FloorProgram -sENVIRONMENT=web -sFILESYSTEM=0
  -sEXPORTED_FUNCTIONS=_floor_frame,_floor_pixels)
add_custom_command(TARGET glimmet2-floor POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/bench/web_floor.html
          ${CMAKE_CURRENT_SOURCE_DIR}/bench/idle.html $<TARGET_FILE_DIR:glimmet2-floor>)

set(GLIMMET2_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT GLIMMET2_TESTS OR NOT EXISTS ${GLIMMET2_GTEST_SOURCES}/CMakeLists.txt)
  return()
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GLIMMET2_GTEST_SOURCES} googletest EXCLUDE_FROM_ALL)

enable_testing()
# The same unit tests as on the desktop, in 32-bit WebAssembly under node.
add_executable(glimmet2-tests ${GLIMMET2_PORTABLE_TESTS})
target_link_libraries(glimmet2-tests PRIVATE glimmet2core gtest_main)
target_include_directories(glimmet2-tests PRIVATE ${CMAKE_BINARY_DIR})
target_link_options(glimmet2-tests PRIVATE -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1
                    -sEXIT_RUNTIME=1)
add_test(NAME web-unit COMMAND glimmet2-tests --gtest_brief=1)
# The page in headless Chromium, clicked like a person.
add_test(NAME web-page COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web_test.py
         ${GLIMMET2_SITE})
set_tests_properties(web-page PROPERTIES TIMEOUT 300
                     ENVIRONMENT NODE_PATH=${GLIMMET2_NPM_DIR}/node_modules)
