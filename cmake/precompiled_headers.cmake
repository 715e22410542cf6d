# GoogleTest's and GoogleMock's headers, precompiled once per build tree and reused by every test
# program: parsing them is most of a test file's compile time in the sanitizer builds.
#
# GCC only: it checks a reused header against the compiling flags and, with -Winvalid-pch (an error
# here), says so instead of quietly parsing everything again. Clang refuses a header made with other
# macros, and its build (the fuzz preset) builds no tests.
option(STATS_PRECOMPILED_HEADERS "Precompile GoogleTest's headers for the test programs (GCC)" ON)

# stats_test_program(TARGET): what every test program shares. In the optimised build it is compiled
# with -O1 (after the build type's -O2): a test's own code needs no speed, and its build takes a
# quarter less. With GCC it reuses the precompiled header.
function(stats_test_program target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O1>)
  stats_use_test_pch(${target})
endfunction()

# stats_use_test_pch(TARGET): TARGET, a test executable that links GoogleTest, reuses the header.
function(stats_use_test_pch target)
  if(NOT STATS_PRECOMPILED_HEADERS OR NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
    return()
  endif()
  if(NOT TARGET stats_test_pch)
    # The donor: an executable like the tests (same -fPIE, defines and warnings), built only for
    # its header. Its own source is empty; gtest_main gives it a main.
    set(donor_source ${CMAKE_BINARY_DIR}/stats_test_pch.cpp)
    file(CONFIGURE OUTPUT ${donor_source} CONTENT "// Compiles the test programs' precompiled header.\n")
    add_executable(stats_test_pch EXCLUDE_FROM_ALL ${donor_source})
    if(TARGET GTest::gtest_main)
      target_link_libraries(stats_test_pch PRIVATE GTest::gtest_main GTest::gmock)
    else()
      target_link_libraries(stats_test_pch PRIVATE gtest_main gmock)
    endif()
    target_link_libraries(stats_test_pch PRIVATE stats_warnings)
    target_compile_options(stats_test_pch PRIVATE $<$<CONFIG:Release>:-O1>)
    target_precompile_headers(stats_test_pch PRIVATE
      <gtest/gtest.h> <gmock/gmock.h>
      <algorithm> <filesystem> <fstream> <map> <memory> <sstream> <string> <string_view> <vector>)
  endif()
  target_precompile_headers(${target} REUSE_FROM stats_test_pch)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Winvalid-pch)
  endif()
endfunction()
