#pragma once
// The Cabrillo header's tags and category values as the check reads them: the 3.0 tags, the 2.0
// tags a log may still carry, the value lists with the values they once held, and the hint for a
// tag that is a near miss.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verify {

/// One category tag's Cabrillo 3.0 values.
struct CategoryList {
    std::string_view tag;
    std::vector<std::string> values;  ///< upper case
};

/// The 3.0 value lists, the contest's own overlays among them.
const std::vector<CategoryList>& categoryLists();

/// True for a Cabrillo 3.0 header tag (QSO: included).
bool version3Tag(std::string_view tag);

/// True for a tag of Cabrillo 2.0 that 3.0 left out (CATEGORY:, ARRL-SECTION:, IOTA-ISLAND-NAME:).
bool version2Tag(std::string_view tag);

/// What a 3.0 log writes in place of the 2.0 tag `tag` with `value`, in a few words.
std::string version3Instead(std::string_view tag, std::string_view value);

/// The 3.0 tag an unknown tag is a near miss of (OPERATOR: for OPERATORS:), if any.
std::optional<std::string_view> nearestTag(std::string_view tag);

/// The last year a category value that has left its 3.0 list stood in it; none for any other value.
std::optional<int> lastYearListed(std::string_view tag, std::string_view value);

}  // namespace verify
