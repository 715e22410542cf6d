# Warnings as errors on the project's own targets.
add_library(stats_warnings INTERFACE)
target_compile_options(stats_warnings INTERFACE -Wall -Wextra -Werror -Wno-missing-field-initializers)
