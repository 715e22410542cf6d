#include "tools/logs/utf16_text.h"

#include <array>

namespace logs {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHigh(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLow(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

bool startsWithUtf16Mark(std::string_view bytes) {
    return bytes.size() >= 2 &&
           ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

void Utf16Decoder::unit(char16_t u, std::string& out) {
    if (high_ != 0) {
        if (isLow(u)) {
            appendUtf8(0x10000 + ((char32_t{high_} - 0xD800) << 10) + (u - 0xDC00), out);
            high_ = 0;
            return;
        }
        // A high half not followed by its low half stands alone; the unit after it is read as itself.
        appendUtf8(kReplacement, out);
        high_ = 0;
    }
    if (isHigh(u))
        high_ = u;
    else
        appendUtf8(isLow(u) ? kReplacement : char32_t{u}, out);
}

void Utf16Decoder::feed(std::string_view bytes, std::string& out) {
    out.reserve(out.size() + bytes.size() / 2 * 3 + 3);
    std::size_t i = 0;
    if (oddByte_ >= 0 && !bytes.empty()) {
        const int second = static_cast<unsigned char>(bytes[i++]);
        unit(static_cast<char16_t>(bigEndian_ ? (oddByte_ << 8) | second : (second << 8) | oddByte_), out);
        oddByte_ = -1;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        const unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        unit(static_cast<char16_t>(bigEndian_ ? (a << 8) | b : (b << 8) | a), out);
    }
    if (i < bytes.size()) oddByte_ = static_cast<unsigned char>(bytes[i]);
}

void Utf16Decoder::finish(std::string& out) {
    if (high_ != 0) appendUtf8(kReplacement, out);
    if (oddByte_ >= 0) appendUtf8(kReplacement, out);
    high_ = 0;
    oddByte_ = -1;
}

std::optional<std::string> decodeUtf16(std::string_view bytes) {
    if (!startsWithUtf16Mark(bytes)) return std::nullopt;
    Utf16Decoder decoder(bytes[0] == '\xFE');
    std::string out;
    decoder.feed(bytes.substr(2), out);
    decoder.finish(out);
    return out;
}

std::string decodeUtf16(std::string_view head, std::istream& in) {
    Utf16Decoder decoder(head[0] == '\xFE');
    std::string out;
    decoder.feed(head.substr(2), out);
    // Piece by piece: the UTF-16 bytes are never held whole beside their text.
    std::array<char, 1 << 16> buffer;
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0)
        decoder.feed(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())), out);
    decoder.finish(out);
    return out;
}

LogText::LogText(std::istream& in) : in_(in) {
    // A stream that failed, or one that cannot go back to where it stood, is read as it is.
    const std::istream::pos_type start = in.tellg();
    if (start == std::istream::pos_type(-1)) return;
    char head[2] = {};
    in.read(head, 2);
    if (in.gcount() == 2 && startsWithUtf16Mark(std::string_view(head, 2))) {
        utf16_ = true;
        decoded_.str(decodeUtf16(std::string_view(head, 2), in));
        if (in.bad()) decoded_.setstate(std::ios::badbit);
        return;
    }
    if (in.bad()) return;
    in.clear();
    in.seekg(start);
}

}  // namespace logs
