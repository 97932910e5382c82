# The released DLL. The linker writes the full image (with debug information)
# and its map as symbols/ImpApi_tolva-<version>.dll and .map, and a PDB as
# symbols/ImpApi_tolva-<version>.pdb; the DLL beside them is the same image
# stripped. A crash address from the field resolves against the full image,
# whose sections lie at the same addresses. Both images carry a CodeView
# record whose GUID is the build id (a hash of the image), so Windows
# debuggers and symbol servers pair a dump with the PDB.
#
# Stripped, the image has no string table for section names longer than eight
# characters: its .eh_frame (the unwind tables the C++ runtime registers by
# address) is named .eh_fram there, as other linkers name it, instead of "/4".
#
# Reproducible: no time stamps, a fixed image base (the automatic one hashes
# the output path), no paths in the image, the map or the PDB.
set(IMPAPI_SYMBOLS ${IMPAPI_DIST}/symbols)
set(IMPAPI_FULL_NAME ImpApi_tolva-${PROJECT_VERSION})
if(IMPAPI_ARCH STREQUAL win32)
  set(IMPAPI_IMAGE_BASE 0x6A400000)
  # Not NO_SEH: the barrier around the host's callback registers a structured
  # exception handler of the image (src/base/HostBarrier.cpp), which the
  # system would refuse to call in an image marked so.
else()
  set(IMPAPI_IMAGE_BASE 0x16A400000)
endif()
# The plug-in starts no thread. Its code is compiled and linked for the win32
# thread model of the C++ runtime, which needs no winpthread: that library
# would install a process-wide vectored exception handler and a TLS callback
# in the host. The tests keep the -posix compilers (gtest needs std::mutex).
set(IMPAPI_WIN32_THREADS ${CMAKE_SOURCE_DIR}/cmake/win32-threads.sh)
foreach(target ${IMPAPI_LIBRARIES} ImpApi_tolva impapi-host)
  set_target_properties(${target} PROPERTIES C_COMPILER_LAUNCHER ${IMPAPI_WIN32_THREADS}
    CXX_COMPILER_LAUNCHER ${IMPAPI_WIN32_THREADS})
endforeach()
set_target_properties(ImpApi_tolva impapi-host PROPERTIES CXX_LINKER_LAUNCHER ${IMPAPI_WIN32_THREADS})

# The stack protector's guard without libssp, which would seed it under the loader lock.
target_sources(ImpApi_tolva PRIVATE src/dll/StackGuard.cpp)

# Hardened, and no source or build paths in the image, debug information
# included. Small: the plug-in's time goes into waiting for the portal and the
# disk, so its code is optimised for size, and unused code and data are dropped.
# Every function keeps a frame pointer, leaf functions too: a debugger walks
# the stack of a host's crash dump through the plug-in by the frame chain
# (the PDB carries no frame data, see tools/symbols.py).
foreach(target ${IMPAPI_LIBRARIES} ImpApi_tolva impapi-host)
  target_compile_options(${target} PRIVATE -g -Os -ffunction-sections -fdata-sections -fstack-protector-strong
    -fno-omit-frame-pointer -mno-omit-leaf-frame-pointer
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
endforeach()
# A DLL for the Windows GUI subsystem of the oldest Windows it runs on (7, 6.1),
# as a scanner expects of a plug-in that shows windows.
target_link_options(ImpApi_tolva PRIVATE
  -Wl,--subsystem,windows:6.1 -Wl,--major-os-version,6 -Wl,--minor-os-version,1
  -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base -Wl,--image-base=${IMPAPI_IMAGE_BASE}
  -Wl,--gc-sections -Wl,-Map=${CMAKE_BINARY_DIR}/${IMPAPI_FULL_NAME}.map
  -Wl,--build-id -Wl,--pdb=${IMPAPI_FULL_NAME}.pdb)
set_target_properties(ImpApi_tolva PROPERTIES PREFIX "" OUTPUT_NAME ${IMPAPI_FULL_NAME}
  RUNTIME_OUTPUT_DIRECTORY ${IMPAPI_SYMBOLS})
# The .def with the stdcall argument sizes goes beside the DLL for the Pascal unit's check.
configure_file(${CMAKE_BINARY_DIR}/ImpApi_tolva.def ${IMPAPI_DIST}/ImpApi_tolva.def COPYONLY)
add_custom_command(TARGET ImpApi_tolva POST_BUILD
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/symbols.py finish ${CMAKE_BINARY_DIR}/${IMPAPI_FULL_NAME}.pdb
    ${IMPAPI_SYMBOLS}/${IMPAPI_FULL_NAME}.pdb ${CMAKE_BINARY_DIR}/${IMPAPI_FULL_NAME}.map
    ${IMPAPI_SYMBOLS}/${IMPAPI_FULL_NAME}.map ${IMPAPI_SYMBOLS} ${CMAKE_BINARY_DIR}
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY} --strip-all
    --rename-section .eh_frame=.eh_fram $<TARGET_FILE:ImpApi_tolva> ${IMPAPI_DIST}/ImpApi_tolva.dll
  VERBATIM)

if(IMPAPI_TESTS AND IMPAPI_ARCH STREQUAL win64)
  add_test(NAME win32_dll_reproducible COMMAND ${CMAKE_SOURCE_DIR}/tests/reproducible.sh ${CMAKE_SOURCE_DIR}
    ${IMPAPI_WIN32_DIR})
  set_tests_properties(win32_dll_reproducible PROPERTIES TIMEOUT 900)
  set(full ${CMAKE_SOURCE_DIR}/dist/win32/symbols/${IMPAPI_FULL_NAME})
  add_test(NAME win32_dll_symbols COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/symbols.py check
    ${CMAKE_SOURCE_DIR}/dist/win32/ImpApi_tolva.dll ${full}.dll ${full}.pdb)
  add_test(NAME win32_dll_signature COMMAND ${CMAKE_SOURCE_DIR}/tests/signature.sh ${CMAKE_SOURCE_DIR}
    ${IMPAPI_WIN32_DIR})
  # A release whose changes are not written down fails here, not only at ./run dist.
  add_test(NAME changelog_has_version COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/changelog_check.py
    ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${PROJECT_VERSION})
endif()
