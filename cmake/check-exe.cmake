# Reads back what the built exe carries, as Explorer and the loader see it:
# no debug information, the subsystem version its imports need (6.2,
# Windows 8, for WaitOnAddress), and the resources: the icon group, the
# version information with this build's version, and the manifest with
# its Windows versions and DPI awareness.
# Usage: cmake -DEXE=file -DVERSION=x.y.z -DOBJDUMP=tool -P check-exe.cmake
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${EXE}")
endif()
execute_process(COMMAND ${OBJDUMP} -h ${EXE} OUTPUT_VARIABLE sections)
set(problems "")
if(sections MATCHES "\\.debug_")
  list(APPEND problems "it holds debug information")
endif()
if(NOT headers MATCHES "MajorSubsystemVersion\t6\n" OR NOT headers MATCHES "MinorSubsystemVersion\t2\n")
  list(APPEND problems "its subsystem version is not 6.2")
endif()
if(NOT headers MATCHES "api-ms-win-core-synch-l1-2-0")
  list(APPEND problems "it no longer imports WaitOnAddress: its subsystem version may be lower")
endif()
# The resource directory's type table lists each type by its number:
# 3 icon, 0e icon group, 10 version, 18 manifest.
foreach(type 03 0e 10 18)
  if(NOT headers MATCHES "\n[0-9a-f]+   Entry: ID: 0x0000${type},")
    list(APPEND problems "no resource of type 0x${type}")
  endif()
endforeach()
file(READ ${EXE} bytes HEX)
# The version strings are UTF-16: "1.0.0" as 31 00 2e 00 30 00 2e 00 30 00.
string(REGEX REPLACE "(.)" "\\1;" chars "${VERSION}")
set(wide "")
foreach(c ${chars})
  string(HEX "${c}" h)
  string(APPEND wide "${h}00")
endforeach()
if(NOT bytes MATCHES "${wide}")
  list(APPEND problems "no version string ${VERSION}")
endif()
foreach(entry supportedOS "PerMonitorV2, PerMonitor" "WindowsSettings\">true</dpiAware>"
              "WindowsSettings\">UTF-8</activeCodePage>")
  string(HEX "${entry}" entry_bytes)
  if(NOT bytes MATCHES "${entry_bytes}")
    list(APPEND problems "no manifest entry ${entry}")
  endif()
endforeach()
if(problems)
  string(REPLACE ";" "; " problems "${problems}")
  message(FATAL_ERROR "${EXE}: ${problems}")
endif()
message(STATUS "${EXE}: stripped, subsystem 6.2, icon, version ${VERSION} and manifest (OS, DPI)")
