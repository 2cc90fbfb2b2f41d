# Header-only dependencies of the Windows cross build. Boost and the OpenCL
# headers are platform-neutral, but /usr/include as a whole must stay out of
# a MinGW compile (its C library headers would shadow MinGW's), so only their
# folders are exposed, through a small tree that the find modules search.
set(MACULO_BUILD_MACHINE_HEADERS ${CMAKE_BINARY_DIR}/build-machine-headers)
file(MAKE_DIRECTORY ${MACULO_BUILD_MACHINE_HEADERS}/include)
foreach(dir boost CL)
  if(NOT EXISTS ${MACULO_BUILD_MACHINE_HEADERS}/include/${dir})
    file(CREATE_LINK /usr/include/${dir} ${MACULO_BUILD_MACHINE_HEADERS}/include/${dir} SYMBOLIC)
  endif()
endforeach()
list(APPEND CMAKE_FIND_ROOT_PATH ${MACULO_BUILD_MACHINE_HEADERS})

# Self-contained binaries: the C++ runtime, libgcc, winpthreads and OpenMP are
# linked in, so the plug-in (and every program built with it) imports only
# Windows system libraries.
add_link_options(-static)
# Libraries found by path (OpenMP's among them) must be the static archives
# too, not the import libraries of their DLLs.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
