# The Windows side: static library of all units, the plug-in DLL, the sample
# host, and the Windows tests. Output goes to dist/<arch>/.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(IMPAPI_ARCH win32)
else()
  set(IMPAPI_ARCH win64)
endif()
set(IMPAPI_DIST ${CMAKE_SOURCE_DIR}/dist/${IMPAPI_ARCH})
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

# Only system DLLs may be imported: the C++ runtime and libgcc go in statically.
set(IMPAPI_STATIC_LINK -static -static-libgcc -static-libstdc++)

# The plug-in's code is built with the stack protector (cmake/release.cmake):
# whatever links it needs libssp.
add_link_options(-fstack-protector-strong)

# The small Windows base: the handle template, the scope guard, the user's collation.
add_library(impapi_base STATIC src/base/Locale.cpp)
target_link_libraries(impapi_base PUBLIC impapi_pure)
impapi_layer(impapi_base HEADERS base/Handles.h base/Locale.h)

# The window framework. Forms, controls and standard controls know each other
# (a form owns controls, a control finds its form); they are one library, and
# what stands above sees only these headers.
add_library(impapi_framework STATIC
  src/framework/Framework.cpp
  src/framework/Controls.cpp
  src/framework/Forms.cpp
  src/framework/StdCtrls.cpp
)
target_link_libraries(impapi_framework PUBLIC impapi_base user32 gdi32)
impapi_layer(impapi_framework HEADERS
  framework/Framework.h framework/Controls.h framework/Forms.h framework/StdCtrls.h)

add_library(impapi_controls STATIC
  src/controls/UserEdiX.cpp
  src/controls/UserEdit.cpp
  src/controls/EditText.cpp
  src/controls/UserMaskEdit.cpp
)
target_link_libraries(impapi_controls PUBLIC impapi_framework)
impapi_layer(impapi_controls HEADERS controls/UserEdiX.h controls/UserEdit.h controls/UserMaskEdit.h)

add_library(impapi_dialogs STATIC
  src/dialogs/ImpApiDownloadProgress.cpp
  src/dialogs/ImpApi_tolva_PwDlg.cpp
  src/dialogs/ImpApi_tolva_DpNr_Dlg.cpp
  src/dialogs/ImpApi_tolva_Dlg.cpp
)
target_link_libraries(impapi_dialogs PUBLIC impapi_controls shell32)
impapi_layer(impapi_dialogs HEADERS
  dialogs/ImpApiDownloadProgress.h dialogs/ImpApi_tolva_PwDlg.h dialogs/ImpApi_tolva_DpNr_Dlg.h
  dialogs/ImpApi_tolva_Dlg.h)

# The transport: on the pure core and the base only. It reports through an
# observer its caller supplies.
add_library(impapi_transport STATIC src/transport/ImpApiINet.cpp)
target_link_libraries(impapi_transport PUBLIC impapi_base wininet)
impapi_layer(impapi_transport HEADERS transport/ImpApiINet.h)

# The plug-in on top: the static library the DLL and the white-box tests link.
add_library(impapi STATIC
  src/plugin/ImpApiMain.cpp
  src/plugin/ImpApi_tolva_Main.cpp
  src/plugin/ImpApi_tolva_Run.cpp
  src/plugin/ImportObserver.cpp
  src/plugin/HostCall.cpp
)
target_link_libraries(impapi PUBLIC impapi_dialogs impapi_transport advapi32)
impapi_layer(impapi HEADERS plugin/ImpApiMain.h plugin/ImpApi_tolva_Main.h plugin/ImportObserver.h
  plugin/HostCall.h plugin/StackGuard.h)
# Every library of the plug-in's code, for the release flags.
set(IMPAPI_LIBRARIES impapi_pure impapi_base impapi_framework impapi_controls impapi_dialogs impapi_transport impapi)

# Export names: undecorated; on i686 each maps to its stdcall symbol, so a
# changed signature fails the link instead of exporting a wrong entry point.
set(IMPAPI_EXPORTS
  "VersionInfo 0" "ImportVersionInfo 4" "AppVersionCheck 4" "RegProgrCallback 4"
  "ExportXML 20" "GetExportErrorMsg 8" "ApiDataDialog 12")
set(IMPAPI_DEF "LIBRARY ImpApi_tolva.dll\nEXPORTS\n")
foreach(entry IN LISTS IMPAPI_EXPORTS)
  separate_arguments(parts UNIX_COMMAND "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 bytes)
  if(IMPAPI_ARCH STREQUAL win32)
    string(APPEND IMPAPI_DEF "  ${name} = ${name}@${bytes}\n")
  else()
    string(APPEND IMPAPI_DEF "  ${name}\n")
  endif()
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/ImpApi_tolva.def "${IMPAPI_DEF}")

add_library(ImpApi_tolva SHARED
  src/plugin/DllMain.cpp
  src/plugin/version.rc
  ${CMAKE_BINARY_DIR}/ImpApi_tolva.def)
target_link_libraries(ImpApi_tolva PRIVATE impapi)
target_link_options(ImpApi_tolva PRIVATE ${IMPAPI_STATIC_LINK})

add_executable(impapi-host tools/host/impapi-host.cpp)
target_include_directories(impapi-host PRIVATE include)
target_link_options(impapi-host PRIVATE ${IMPAPI_STATIC_LINK})
set_target_properties(impapi-host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${IMPAPI_DIST})
include(cmake/release.cmake)

# The screenshot host (./run screenshots): drives each window of the plug-in
# and saves a picture of it.
add_executable(impapi-capture tools/screenshots/capture-host.cpp)
target_include_directories(impapi-capture PRIVATE include)
target_link_libraries(impapi-capture PRIVATE user32 gdi32 advapi32)
target_link_options(impapi-capture PRIVATE ${IMPAPI_STATIC_LINK})

if(IMPAPI_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${IMPAPI_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  enable_testing()
  add_subdirectory(tests/win)
  if(IMPAPI_ARCH STREQUAL win64)
    include(cmake/pascal.cmake)
  endif()
endif()

# Transport benchmark (./run bench): HttpsRequest against a plain WinINet loop.
add_executable(inet-bench tools/bench/inet-bench.cpp)
target_link_libraries(inet-bench PRIVATE impapi psapi)
target_link_options(inet-bench PRIVATE ${IMPAPI_STATIC_LINK})

# Import benchmark (./run bench): ExportXML of the loaded DLL against a bare
# collect-then-write loop, alternating in one process.
add_executable(import-bench tools/bench/import-bench.cpp)
target_include_directories(import-bench PRIVATE include)
target_link_libraries(import-bench PRIVATE wininet psapi)
target_link_options(import-bench PRIVATE ${IMPAPI_STATIC_LINK})
