# The Pascal sample host, built by Free Pascal in Delphi mode from the shipped
# unit, for i386 like the product. Debian's fpc targets Linux only, so the
# i386 Windows compiler and the four RTL units the host needs are built here
# from fpc-source: about 20 seconds, once per build tree.
file(GLOB IMPAPI_FPCSRC LIST_DIRECTORIES true /usr/share/fpcsrc/*)
file(GLOB IMPAPI_FPC_MSG /usr/lib/*/fpc/[0-9]*/msg/errore.msg)
find_program(IMPAPI_FPC fpc REQUIRED)
set(P ${CMAKE_BINARY_DIR}/pascal)
set(C ${IMPAPI_FPCSRC}/compiler)
set(R ${IMPAPI_FPCSRC}/rtl)
set(IMPAPI_PPC386 ${P}/compiler/ppc386)

add_custom_command(OUTPUT ${IMPAPI_PPC386}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${P}/compiler/units
  COMMAND ${IMPAPI_FPC} -v0 -FE${P}/compiler ${C}/utils/msg2inc.pp
  COMMAND ${P}/compiler/msg2inc ${IMPAPI_FPC_MSG} msg msg
  COMMAND ${IMPAPI_FPC} -v0 -dI386 -Sg -O1 -Fu${C} -Fu${C}/i386 -Fu${C}/x86 -Fu${C}/systems
          -Fi${C} -Fi${C}/i386 -Fi${C}/x86 -Fi. -FE. -FUunits -oppc386 ${C}/pp.pas
  WORKING_DIRECTORY ${P}/compiler
  COMMENT "Building Free Pascal's i386 Windows compiler")

add_custom_command(OUTPUT ${P}/rtl/system.ppu
  COMMAND ${CMAKE_SOURCE_DIR}/cmake/fpc-rtl.sh ${IMPAPI_PPC386} ${R} ${P}/rtl
  DEPENDS ${IMPAPI_PPC386} ${CMAKE_SOURCE_DIR}/cmake/fpc-rtl.sh
  COMMENT "Building Free Pascal's win32 RTL")

# Warnings stop the build (-Sew).
add_custom_command(OUTPUT ${P}/ImpApiHost.exe
  COMMAND ${CMAKE_COMMAND} -E make_directory ${P}/units
  COMMAND ${IMPAPI_PPC386} -n -Twin32 -Pi386 -vew -Sew -Fu${P}/rtl -Fu${CMAKE_SOURCE_DIR}/include
          -FE${P} -FU${P}/units ${CMAKE_SOURCE_DIR}/tools/host/ImpApiHost.dpr
  DEPENDS ${P}/rtl/system.ppu ${CMAKE_SOURCE_DIR}/tools/host/ImpApiHost.dpr
          ${CMAKE_SOURCE_DIR}/include/ImpApi_tolva.pas
  COMMENT "Building the Pascal sample host")
add_custom_target(pascal_host ALL DEPENDS ${P}/ImpApiHost.exe)
set(IMPAPI_PASCAL_HOST ${P}/ImpApiHost.exe)

# The host runs 32-bit like the product; the unit's argument sizes are also
# checked against the .def, and that check is proven to catch a wrong LastImport.
add_test(NAME pascal_host COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/pascal/pascal_host.py
         ${CMAKE_SOURCE_DIR} ${IMPAPI_PASCAL_HOST} ${CMAKE_SOURCE_DIR}/tools/win32/run32)
set_tests_properties(pascal_host PROPERTIES TIMEOUT 300 RESOURCE_LOCK desktop ENVIRONMENT
  "WINEPREFIX=${IMPAPI_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=d")
add_test(NAME pascal_unit_stdcall_sizes COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/pascal/check_unit.py
         --self-test ${CMAKE_SOURCE_DIR}/include/ImpApi_tolva.pas ${CMAKE_SOURCE_DIR}/dist/win32/ImpApi_tolva.def)

# 2.1.3 host code compiles against the unit's short names, and with
# IMPAPI_TOLVA_NO_SHORT_NAMES they are gone (the first one missed stops the
# compile). Each compile has its own unit folder, since the define changes the unit.
foreach(variant IN ITEMS short prefixed)
  set(out ${P}/host213-${variant})
  file(MAKE_DIRECTORY ${out})
  set(define)
  if(variant STREQUAL prefixed)
    set(define -dIMPAPI_TOLVA_NO_SHORT_NAMES)
  endif()
  add_test(NAME pascal_unit_names_${variant}
    COMMAND ${IMPAPI_PPC386} -n -Twin32 -Pi386 -vew -Sew ${define} -Fu${P}/rtl -Fu${CMAKE_SOURCE_DIR}/include
            -FE${out} -FU${out} ${CMAKE_SOURCE_DIR}/tests/pascal/Host213.dpr)
endforeach()
set_tests_properties(pascal_unit_names_prefixed PROPERTIES
  PASS_REGULAR_EXPRESSION "Identifier not found \"ckProgress\"")
