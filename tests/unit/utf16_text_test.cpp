#include "tools/logs/utf16_text.h"

#include <gtest/gtest.h>

using namespace logs;

namespace {

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

// Whole, piece by piece at every split and as a log's stream: the same text, at most 3 bytes for 2.
// A stream without the byte order mark is read as it stands.
TEST(Utf16Text, DecodesEitherByteOrderHoweverRead) {
    const struct {
        std::string bytes;
        std::optional<std::string> text;
    } cases[] = {
        {std::string("\xFF\xFE" "A\0\r\0\n\0", 8), "A\r\n"},
        {std::string("\xFE\xFF\0A\0\xE9\x20\xAC", 8), "A\xC3\xA9\xE2\x82\xAC"},
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},  // a surrogate pair
        {std::string("\xFF\xFE\x3D\xD8" "A\0", 6), kBad + "A"},  // a high half alone
        {std::string("\xFF\xFE\x00\xDC\x3D\xD8", 6), kBad + kBad},
        {std::string("\xFF\xFE" "A\0B", 5), "A" + kBad},          // an odd last byte
        {"\xFF\xFE", ""},
        {std::string("A\0\r\0", 4), std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeUtf16(c.bytes), c.text) << c.bytes;
        std::istringstream in(c.bytes);
        LogText log(in);
        EXPECT_EQ(log.utf16(), c.text.has_value());
        std::string read(c.bytes.size() * 2, '\0');
        read.resize(static_cast<std::size_t>(log.stream().read(read.data(), read.size()).gcount()));
        EXPECT_EQ(read, c.text.value_or(c.bytes));
        if (!c.text) continue;
        EXPECT_LE(c.text->size(), c.bytes.size() / 2 * 3 + 3);
        for (std::size_t split = 2; split <= c.bytes.size(); ++split) {
            Utf16Decoder decoder(c.bytes[0] == '\xFE');
            std::string out;
            decoder.feed(std::string_view(c.bytes).substr(2, split - 2), out);
            decoder.feed(std::string_view(c.bytes).substr(split), out);
            decoder.finish(out);
            EXPECT_EQ(out, *c.text) << split;
        }
    }
}

}  // namespace
