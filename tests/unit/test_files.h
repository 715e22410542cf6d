#pragma once
// Whole files read and written as bytes, for the tests that run a tool or a pipeline on files.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace test_files {

/// The bytes of `file`; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Writes `bytes` to `file`, its folders made first.
inline void spit(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace test_files
