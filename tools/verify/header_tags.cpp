#include "tools/verify/header_tags.h"

#include <algorithm>
#include <iterator>

#include "core/amateur_bands.h"
#include "tools/contest/contest_definition.h"
#include "tools/logs/cabrillo_reader.h"

namespace verify {
namespace {

// The header tags of Cabrillo 3.0; QSO: and X-QSO: carry the contacts.
constexpr std::string_view kTags[] = {"START-OF-LOG",
                                      "END-OF-LOG",
                                      "CALLSIGN",
                                      "CONTEST",
                                      "CATEGORY-ASSISTED",
                                      "CATEGORY-BAND",
                                      "CATEGORY-MODE",
                                      "CATEGORY-OPERATOR",
                                      "CATEGORY-POWER",
                                      "CATEGORY-STATION",
                                      "CATEGORY-TIME",
                                      "CATEGORY-TRANSMITTER",
                                      "CATEGORY-OVERLAY",
                                      "CERTIFICATE",
                                      "CLAIMED-SCORE",
                                      "CLUB",
                                      "CREATED-BY",
                                      "EMAIL",
                                      "GRID-LOCATOR",
                                      "LOCATION",
                                      "NAME",
                                      "ADDRESS",
                                      "ADDRESS-CITY",
                                      "ADDRESS-STATE-PROVINCE",
                                      "ADDRESS-POSTALCODE",
                                      "ADDRESS-COUNTRY",
                                      "OPERATORS",
                                      "OFFTIME",
                                      "SOAPBOX",
                                      "QSO"};
// Tags a 2.0 log may still carry.
constexpr std::string_view kVersion2Tags[] = {"CATEGORY", "ARRL-SECTION", "IOTA-ISLAND-NAME"};

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t blank = std::min(text.find(' ', at), text.size());
        out.emplace_back(text.substr(at, blank - at));
        at = blank + 1;
    }
    return out;
}

// Values that left a 3.0 list, with the last year they stood in it: a log of that year or before
// chose among them.
struct RetiredValue {
    std::string_view tag, value;
    int lastYear;
};
constexpr RetiredValue kRetired[] = {{"CATEGORY-OVERLAY", "OVER-50", 2023}};

// The edits that turn one tag into the other (insertions, deletions, changes).
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

// The Cabrillo 3.0 value lists. The band list names the amateur bands that have a category, between
// ALL and the VHF groups; the overlay list adds the contest's own overlays (the header dialog
// offers them).
const std::vector<CategoryList>& categoryLists() {
    static const std::vector<CategoryList> lists = [] {
        std::vector<std::string> bands{"ALL"};
        for (const stats::AmateurBand& b : stats::kAmateurBands)
            if (!b.category.empty()) bands.emplace_back(b.category);
        bands.insert(bands.end(), {"VHF-3-BAND", "VHF-FM-ONLY"});
        std::vector<std::string> overlays = words("CLASSIC ROOKIE TB-WIRES YOUTH NOVICE-TECH YL");
        for (const std::string& own : contest::pluginCategoryValues("CATEGORY-OVERLAY"))
            if (std::find(overlays.begin(), overlays.end(), own) == overlays.end())
                overlays.emplace_back(own);
        return std::vector<CategoryList>{
            {"CATEGORY-ASSISTED", words("ASSISTED NON-ASSISTED")},
            {"CATEGORY-BAND", bands},
            {"CATEGORY-MODE", words("CW DIGI FM RTTY SSB MIXED")},
            {"CATEGORY-OPERATOR", words("SINGLE-OP MULTI-OP CHECKLOG")},
            {"CATEGORY-POWER", words("HIGH LOW QRP")},
            {"CATEGORY-STATION",
             words("DISTRIBUTED FIXED MOBILE PORTABLE ROVER ROVER-LIMITED ROVER-UNLIMITED "
                   "EXPEDITION HQ SCHOOL EXPLORER")},
            {"CATEGORY-TIME", words("6-HOURS 8-HOURS 12-HOURS 24-HOURS")},
            {"CATEGORY-TRANSMITTER", words("ONE TWO LIMITED UNLIMITED SWL")},
            {"CATEGORY-OVERLAY", overlays},
        };
    }();
    return lists;
}

bool version3Tag(std::string_view tag) {
    return std::find(std::begin(kTags), std::end(kTags), tag) != std::end(kTags);
}

bool version2Tag(std::string_view tag) {
    return std::find(std::begin(kVersion2Tags), std::end(kVersion2Tags), tag) != std::end(kVersion2Tags);
}

std::string version3Instead(std::string_view tag, std::string_view value) {
    if (tag == "ARRL-SECTION") return "write LOCATION:";
    if (tag != "CATEGORY") return "3.0 has no such tag: write it as SOAPBOX: or X-" + std::string(tag) + ":";
    std::string out;
    for (const auto& [t, v] : logs::version2Categories(value))
        out += (out.empty() ? "" : ", ") + t + ": " + v;
    return out.empty() ? "write CATEGORY-OPERATOR:, CATEGORY-BAND:, CATEGORY-POWER: and CATEGORY-MODE:"
                       : "write " + out;
}

std::optional<std::string_view> nearestTag(std::string_view tag) {
    // One edit for a short tag, two for a longer one: OPERATOR: for OPERATORS:, E-MAIL: for EMAIL:.
    const std::size_t allowed = tag.size() <= 5 ? 1 : 2;
    std::optional<std::string_view> best;
    std::size_t bestDistance = allowed + 1;
    // A tag longer than any known one by more than the edits allowed is near none (and a line of a
    // megabyte costs no quadratic work).
    if (tag.size() > std::string_view("ADDRESS-STATE-PROVINCE").size() + allowed) return best;
    for (const std::string_view known : kTags)
        if (const std::size_t d = editDistance(tag, known); d < bestDistance) {
            best = known;
            bestDistance = d;
        }
    return best;
}

std::optional<int> lastYearListed(std::string_view tag, std::string_view value) {
    for (const RetiredValue& r : kRetired)
        if (r.tag == tag && r.value == value) return r.lastYear;
    return std::nullopt;
}

}  // namespace verify
