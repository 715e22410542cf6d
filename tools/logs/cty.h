#pragma once
// A country file in the CTY.DAT format: entities with their continent and the prefixes and
// exact calls that belong to them.

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace logs {

/// What the country file says about one call.
struct CountryMatch {
    std::string continent;      ///< "SA", "EU", ...; empty when nothing matched
    std::string primaryPrefix;  ///< the entity's main prefix ("LU", "PY"), without a leading '*'
};

/// The prefixes and exact calls of a country file, looked up by the longest match.
class CountryFile {
  public:
    /// Reads the file; false with a one-line `error` (naming the line) when it is not in the format.
    bool load(std::istream& in, std::string& error);

    /// An exact-call entry ("=CALL") first, then the longest prefix of the call's location text.
    CountryMatch lookup(std::string_view call) const;

    std::size_t entityCount() const noexcept { return entities_.size(); }

  private:
    struct Entity {
        std::string continent;
        std::string primaryPrefix;
    };
    struct Entry {
        std::size_t entity = 0;
        std::string continent;  ///< the {..} override, or the entity's continent
    };
    CountryMatch match(const Entry& entry) const;
    /// Adds one alias of an entity's prefix list; false with a `problem` when it cannot be read.
    bool addAlias(std::string_view alias, std::size_t entity, std::string& problem);

    std::vector<Entity> entities_;
    std::unordered_map<std::string, Entry> exact_;
    std::unordered_map<std::string, Entry> prefixes_;
    std::size_t longestPrefix_ = 0;
};

}  // namespace logs
