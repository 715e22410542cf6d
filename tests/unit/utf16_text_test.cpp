#include "tools/logs/utf16_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "tools/logs/log_input.h"

using namespace logs;

namespace {

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

// Whole, then piece by piece at every split and from a stream: the same text, at most 3 bytes for 2.
TEST(Utf16Text, DecodesEitherByteOrderWhole) {
    const struct {
        std::string bytes;
        std::optional<std::string> text;
    } cases[] = {
        {std::string("\xFF\xFE" "A\0\r\0\n\0", 8), "A\r\n"},
        {std::string("\xFE\xFF\0A\0\xE9\x20\xAC", 8), "A\xC3\xA9\xE2\x82\xAC"},
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},  // a surrogate pair
        {std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6), "\xF0\x9F\x98\x80"},
        {std::string("\xFF\xFE\x3D\xD8" "A\0", 6), kBad + "A"},  // a high half alone
        {std::string("\xFF\xFE\x00\xDC\x3D\xD8", 6), kBad + kBad},
        {std::string("\xFF\xFE" "A\0B", 5), "A" + kBad},          // an odd last byte
        {"\xFF\xFE", ""},
        {std::string("A\0\r\0", 4), std::nullopt},
        {"\xEF\xBB\xBFQSO:", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeUtf16(c.bytes), c.text) << c.bytes;
        if (!c.text) continue;
        EXPECT_LE(c.text->size(), c.bytes.size() / 2 * 3 + 3);
        for (std::size_t split = 2; split <= c.bytes.size(); ++split) {
            Utf16Decoder decoder(c.bytes[0] == '\xFE');
            std::string out;
            decoder.feed(std::string_view(c.bytes).substr(2, split - 2), out);
            decoder.feed(std::string_view(c.bytes).substr(split), out);
            decoder.finish(out);
            EXPECT_EQ(out, *c.text) << split;
            std::istringstream rest(c.bytes.substr(split));
            EXPECT_EQ(decodeUtf16(std::string_view(c.bytes).substr(0, split), rest), *c.text) << split;
        }
    }
}

// A log stream: UTF-16 read decoded, anything else read as it stands; the replay's reader takes both.
TEST(Utf16Text, LogStreamsAreReadDecoded) {
    const std::string log = "START-OF-LOG: 3.0\r\nCALLSIGN: LZ0ZZ\r\n"
                            "QSO:  3550 CW 2016-08-20 0801 LZ0ZZ 001 001 LZ0AA 001 001\r\nEND-OF-LOG:\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : log) utf16 += std::string{c, '\0'};
    for (const std::string& bytes : {log, utf16, std::string("\xFF"), std::string()}) {
        std::istringstream in(bytes);
        LogText text(in);
        EXPECT_EQ(text.utf16(), bytes == utf16);
        std::ostringstream read;
        if (!bytes.empty()) read << text.stream().rdbuf();
        EXPECT_EQ(read.str(), bytes == utf16 ? log : bytes);
    }
    LoadedLog loaded;
    std::istringstream in(utf16);
    ASSERT_TRUE(readLog(in, "LZ0ZZ.CBR", nullptr, loaded, [](const std::string&) {}));
    EXPECT_EQ(loaded.format, LogFormat::kCabrillo);
    EXPECT_EQ(loaded.ownCall, "LZ0ZZ");
    EXPECT_EQ(loaded.contacts.size(), 1u);
}

}  // namespace
