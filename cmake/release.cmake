# The released DLL. The linker writes the full image (with debug information)
# and its map as symbols/ImpApi_tolva-<version>.dll and .map; the DLL beside
# them is the same image stripped. A crash address from the field resolves
# against the full image, whose sections lie at the same addresses.
#
# Reproducible: no time stamps, a fixed image base (the automatic one hashes
# the output path), no paths in the image.
set(IMPAPI_SYMBOLS ${IMPAPI_DIST}/symbols)
set(IMPAPI_FULL_NAME ImpApi_tolva-${PROJECT_VERSION})
if(IMPAPI_ARCH STREQUAL win32)
  set(IMPAPI_IMAGE_BASE 0x6A400000)
  # No code in the image registers a structured exception handler (C++
  # exceptions unwind by DWARF tables on i686), so the loader may refuse any.
  set(IMPAPI_NO_SEH -Wl,--no-seh)
else()
  set(IMPAPI_IMAGE_BASE 0x16A400000)
endif()
# Small: the plug-in's time goes into waiting for the portal and the disk, so
# its code is optimised for size, and unused functions and data are dropped.
foreach(target impapi_pure impapi ImpApi_tolva)
  target_compile_options(${target} PRIVATE -g -Os -ffunction-sections -fdata-sections)
endforeach()
target_link_options(ImpApi_tolva PRIVATE
  -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base -Wl,--image-base=${IMPAPI_IMAGE_BASE}
  ${IMPAPI_NO_SEH} -Wl,--gc-sections -Wl,-Map=${IMPAPI_SYMBOLS}/${IMPAPI_FULL_NAME}.map)
set_target_properties(ImpApi_tolva PROPERTIES PREFIX "" OUTPUT_NAME ${IMPAPI_FULL_NAME}
  RUNTIME_OUTPUT_DIRECTORY ${IMPAPI_SYMBOLS})
add_custom_command(TARGET ImpApi_tolva POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_STRIP} --strip-all -o ${IMPAPI_DIST}/ImpApi_tolva.dll $<TARGET_FILE:ImpApi_tolva>
  VERBATIM)
