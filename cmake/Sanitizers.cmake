# RACKMIND_SANITIZE=address (ASan + UBSan) or thread (TSan) instruments every target.
# RACKMIND_FUZZ=ON (clang only) instruments every target for libFuzzer, with ASan and UBSan, and builds
# the fuzz targets of tests/fuzz; scripts/fuzz makes that build in build-fuzz/.
set(RACKMIND_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")
option(RACKMIND_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(RACKMIND_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "RACKMIND_FUZZ needs clang (CXX=clang++-14)")
    endif()
    target_compile_options(rackmind_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(rackmind_options INTERFACE -fsanitize=address,undefined)
elseif(RACKMIND_SANITIZE STREQUAL "address")
    target_compile_options(rackmind_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(rackmind_options INTERFACE -fsanitize=address,undefined)
elseif(RACKMIND_SANITIZE STREQUAL "thread")
    target_compile_options(rackmind_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(rackmind_options INTERFACE -fsanitize=thread)
elseif(NOT RACKMIND_SANITIZE STREQUAL "")
    message(FATAL_ERROR "RACKMIND_SANITIZE must be empty, address or thread")
endif()
