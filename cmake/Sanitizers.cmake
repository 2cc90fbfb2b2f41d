# -DMACULO_SANITIZE=address,undefined (or thread) instruments every target.
set(MACULO_SANITIZE "" CACHE STRING "Comma-separated sanitizers to enable (address,undefined,thread)")
if(MACULO_SANITIZE)
  add_compile_options(-fsanitize=${MACULO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${MACULO_SANITIZE})
endif()
if(MACULO_SANITIZE MATCHES "thread" AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # GCC's OpenMP runtime hides its synchronisation from the thread sanitizer,
  # which would report every parallel loop; LLVM's runtime reports it.
  message(FATAL_ERROR "The thread-sanitizer build needs clang and its OpenMP runtime (libomp-dev): "
                      "CC=clang CXX=clang++ cmake ...")
endif()

# -DMACULO_FUZZ=ON (clang) adds the fuzzer's coverage to every target, the
# plug-in included, and builds the fuzzer; combine with address,undefined.
option(MACULO_FUZZ "Build the frame fuzzer (clang)" OFF)
if(MACULO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzzer needs clang's libFuzzer: CC=clang CXX=clang++ cmake ... -DMACULO_FUZZ=ON")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
