# The native side: pure logic under AddressSanitizer and UBSan, and fuzz targets.
option(IMPAPI_FUZZ "Build libFuzzer targets (clang)" OFF)
if(IMPAPI_FUZZ)
  set(IMPAPI_SAN -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
else()
  set(IMPAPI_SAN -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
target_compile_options(impapi_core PRIVATE ${IMPAPI_SAN} -g)
add_subdirectory(tests/native)
