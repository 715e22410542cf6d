# Header-only libraries from Debian, usable by the native build and by the MinGW cross builds.
# A cross compiler does not search /usr/include (it holds the host's C library), so the Windows
# builds see each library through a folder that holds only a link to its own headers.
#   stats_cli11  CLI11, the tools' command lines
#   stats_fmt    fmt, header-only (FMT_HEADER_ONLY), so no library is linked on either side
#   stats_tomlpp toml++, the contest definition files; header-only, so Debian's shared build is not linked
set(_stats_third_party ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${_stats_third_party})

function(_stats_header_only target dir)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup-debian.sh")
  endif()
  add_library(${target} INTERFACE)
  if(CMAKE_CROSSCOMPILING)
    if(NOT EXISTS ${_stats_third_party}/${dir})
      file(CREATE_LINK /usr/include/${dir} ${_stats_third_party}/${dir} SYMBOLIC)
    endif()
    target_include_directories(${target} SYSTEM INTERFACE ${_stats_third_party})
  endif()
endfunction()

_stats_header_only(stats_cli11 CLI)
_stats_header_only(stats_fmt fmt)
target_compile_definitions(stats_fmt INTERFACE FMT_HEADER_ONLY)
_stats_header_only(stats_tomlpp toml++)
target_compile_definitions(stats_tomlpp INTERFACE TOML_HEADER_ONLY=1)
