# Instrumentation for the fuzz build. Included from the top level before the libraries are added,
# so that the core is built with coverage feedback and the sanitizers, and only the fuzz targets
# link libFuzzer's own main.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "HDTREE_BUILD_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(
  -fsanitize=fuzzer-no-link,address,undefined
  # Some optimisation: a debug build at -O0 spends most of each input setting up the state.
  -O1
  -fno-sanitize-recover=undefined
  -fno-omit-frame-pointer
  # Bounds checks in the standard containers, so an index past the storage stops the run.
  -D_GLIBCXX_ASSERTIONS)
add_link_options(-fsanitize=address,undefined)
