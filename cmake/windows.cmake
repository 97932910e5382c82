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

# The layers above the core, each on the ones below it (README, "Reading the code").
# The small Windows base: the handle template, the scope guard, the user's collation, the
# DPI-unaware scope.
impapi_layer(impapi_base base ON impapi_core)
# The window framework. Forms, controls and standard controls know each other
# (a form owns controls, a control finds its form); they are one library, and
# what stands above sees only these headers.
impapi_layer(impapi_framework framework ON impapi_base LINK user32 gdi32 comctl32)
impapi_layer(impapi_controls controls ON impapi_framework)
impapi_layer(impapi_dialogs dialogs ON impapi_controls LINK shell32)
# The transport: on the core and the base only. It reports through an
# observer its caller supplies.
impapi_layer(impapi_transport transport ON impapi_base LINK wininet)
# The plug-in on top: the static library the DLL and the white-box tests link.
impapi_layer(impapi plugin ON impapi_dialogs impapi_transport LINK advapi32)
target_include_directories(impapi PUBLIC ${CMAKE_BINARY_DIR}/generated)
# Every library of the plug-in's code, for the release flags.
get_property(IMPAPI_LIBRARIES GLOBAL PROPERTY IMPAPI_LAYERS)

# Export names: undecorated; on i686 each maps to its stdcall symbol, so a
# changed signature fails the link instead of exporting a wrong entry point.
impapi_interface(def ${IMPAPI_ARCH} ${CMAKE_BINARY_DIR}/ImpApi_tolva.def)

# The DLL (src/dll): DllMain, the runtime's locks released at unload, the stack guard
# (cmake/release.cmake), the version resource.
add_library(ImpApi_tolva SHARED
  src/dll/DllMain.cpp
  src/dll/RuntimeLocks.cpp
  src/dll/version.rc
  ${CMAKE_BINARY_DIR}/ImpApi_tolva.def)
target_link_libraries(ImpApi_tolva PRIVATE impapi)
# The resource compiler reports no included headers: a changed version or
# copyright must still rebuild the version resource.
set_source_files_properties(src/dll/version.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/generated/plugin/ImpApiVersion.h)
impapi_publish(ImpApi_tolva dll PRIVATE)
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
  # A link probe per layer: every object of the layer, linked with only the
  # layers below it into a DLL that allows no undefined symbol, so a call
  # upward fails to link. Run by ctest, one link at a time per tree.
  foreach(layer IN LISTS IMPAPI_LIBRARIES)
    get_target_property(folder ${layer} IMPAPI_FOLDER)
    add_library(impapi_probe_${folder} SHARED EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/cmake/probe.c)
    target_link_libraries(impapi_probe_${folder} PRIVATE
      -Wl,--whole-archive $<TARGET_FILE:${layer}> -Wl,--no-whole-archive ${layer})
    target_link_options(impapi_probe_${folder} PRIVATE ${IMPAPI_STATIC_LINK} -Wl,--no-undefined)
    set_target_properties(impapi_probe_${folder} PROPERTIES CXX_LINKER_LAUNCHER ${IMPAPI_WIN32_THREADS}
      C_LINKER_LAUNCHER ${IMPAPI_WIN32_THREADS} LINKER_LANGUAGE CXX
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/probes RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/probes)
    add_test(NAME ${IMPAPI_ARCH}_layer_${folder}
             COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target impapi_probe_${folder})
    set_tests_properties(${IMPAPI_ARCH}_layer_${folder} PROPERTIES RESOURCE_LOCK build_${IMPAPI_ARCH})
  endforeach()
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
