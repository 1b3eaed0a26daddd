# The Windows build's own part: the zip users download, and the tests that
# run there (under Wine here): the platform-neutral unit tests and the
# reader over console records. GoogleTest is built from Debian's sources,
# as no package holds it built for Windows.
# GCC 12 warns of an overlap in std::string's copy, inlined across files at
# the link, that cannot happen: a known false report of that version.
target_link_options(glimmet2core INTERFACE -Wno-restrict)

# The exe's icon, version information and manifest; no debug information
# (600 KB of the 890 KB otherwise); and the subsystem version its imports
# need: WaitOnAddress is Windows 8's.
enable_language(RC)
file(READ LICENSE GLIMMET2_LICENCE)
string(REGEX MATCH "Copyright [^\n]*" GLIMMET2_COPYRIGHT "${GLIMMET2_LICENCE}")
set(GLIMMET2_ICON ${CMAKE_CURRENT_SOURCE_DIR}/data/icons/glimmet2.ico)
set(GLIMMET2_MANIFEST ${CMAKE_BINARY_DIR}/glimmet2.manifest)
configure_file(app/glimmet2.manifest.in ${GLIMMET2_MANIFEST} @ONLY)
configure_file(app/glimmet2.rc.in ${CMAKE_BINARY_DIR}/glimmet2.rc @ONLY)
target_sources(glimmet2 PRIVATE ${CMAKE_BINARY_DIR}/glimmet2.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/glimmet2.rc PROPERTIES
                            OBJECT_DEPENDS "${GLIMMET2_ICON};${GLIMMET2_MANIFEST}")
target_link_options(glimmet2 PRIVATE -s
  -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,2
  -Wl,--major-os-version,6 -Wl,--minor-os-version,2)

set(GLIMMET2_ZIP ${CMAKE_BINARY_DIR}/glimmet2-windows-x86_64.zip)
add_custom_command(
  OUTPUT ${GLIMMET2_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf zip
  COMMAND ${CMAKE_COMMAND} -E make_directory zip/glimmet2
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:glimmet2> zip/glimmet2/glimmet2.exe
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_SOURCE_DIR}/docs/windows-readme.txt
          -DOUT=zip/glimmet2/README.txt -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/crlf.cmake
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_SOURCE_DIR}/LICENSE
          -DOUT=zip/glimmet2/LICENSE.txt -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/crlf.cmake
  COMMAND ${CMAKE_COMMAND} -E rm -f ${GLIMMET2_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir zip ${CMAKE_COMMAND} -E tar cf ${GLIMMET2_ZIP} --format=zip
          glimmet2
  DEPENDS glimmet2 docs/windows-readme.txt LICENSE
  COMMENT "Packing ${GLIMMET2_ZIP}")
add_custom_target(windows-zip ALL DEPENDS ${GLIMMET2_ZIP})

# The window pass against its floor; `make bench-windows` runs it under Wine.
add_executable(glimmet2-windows-bench EXCLUDE_FROM_ALL bench/windows_bench.cpp)
target_link_libraries(glimmet2-windows-bench PRIVATE glimmet2core)

set(GLIMMET2_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT GLIMMET2_TESTS OR NOT EXISTS ${GLIMMET2_GTEST_SOURCES}/CMakeLists.txt)
  return()
endif()
set(CMAKE_POLICY_DEFAULT_CMP0069 NEW)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION OFF)
add_subdirectory(${GLIMMET2_GTEST_SOURCES} googletest EXCLUDE_FROM_ALL)
# GoogleTest's own attributes mean nothing to Windows targets.
target_compile_options(gtest PRIVATE -Wno-attributes)
target_compile_options(gtest_main PRIVATE -Wno-attributes)

enable_testing()
add_executable(glimmet2-tests ${GLIMMET2_PORTABLE_TESTS} tests/console-win32_test.cpp
               tests/view-win32_test.cpp)
target_link_libraries(glimmet2-tests PRIVATE glimmet2core gtest_main)
target_include_directories(glimmet2-tests PRIVATE ${CMAKE_BINARY_DIR})
# One test for the whole binary: each run under Wine costs a process start.
add_test(NAME windows-unit COMMAND glimmet2-tests --gtest_brief=1)
find_program(GLIMMET2_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME windows-exe COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:glimmet2>
         -DVERSION=${PROJECT_VERSION} -DOBJDUMP=${GLIMMET2_OBJDUMP}
         -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-exe.cmake)
# Sends the program a control event in the test under Wine.
add_executable(glimmet2-ctrl-event tests/ctrl_event_main.cpp)
