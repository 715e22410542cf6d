# Warnings as errors on the project's own targets.
add_library(stats_warnings INTERFACE)
target_compile_options(stats_warnings INTERFACE -Wall -Wextra -Werror -Wno-missing-field-initializers)
# GCC 12 at -O2 reports false overlaps in libstdc++'s string concatenation ("a" + std::to_string(n)),
# GCC bug 105329; the MinGW Release builds hit it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(stats_warnings INTERFACE -Wno-restrict)
endif()
