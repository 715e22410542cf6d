#pragma once
// A contest definition file (TOML, contests/*.toml) read into the record of the contest. Every key
// is known or refused, so a typo cannot silently drop a rule; a refusal names the file and line.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/contest/contest_definition.h"

namespace contest {

/// A definition that does not read: what() is "SOURCE:LINE: what is wrong".
class DefinitionError : public std::runtime_error {
  public:
    DefinitionError(const std::string& source, std::uint32_t line, const std::string& message);
    std::uint32_t line() const noexcept { return line_; }

  private:
    std::uint32_t line_;
};

/// The definition in `text`, named `sourceName` in errors; throws DefinitionError.
ContestDefinition parseDefinition(std::string_view text, std::string_view sourceName);

/// The definition in the file `path`; throws DefinitionError (line 0 when the file cannot be read).
ContestDefinition readDefinition(const std::filesystem::path& path);

}  // namespace contest
