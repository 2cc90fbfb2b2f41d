# Warnings everywhere; no contraction of a*b+c into FMA, because the processor
# results are specified as separately rounded operations and must be bit-exact.
add_compile_options(-Wall -Wextra -ffp-contract=off)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-fno-fast-math)
endif()
option(MACULO_WERROR "Treat warnings as errors" OFF)
if(MACULO_WERROR)
  add_compile_options(-Werror)
endif()
