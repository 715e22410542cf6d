#include "tools/robot/text.h"

#include <openssl/evp.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "tools/logs/iso_date.h"

namespace robot {

namespace {

// Length of the UTF-8 sequence starting at `text[at]`, 0 when it is not a valid one.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(at);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size() || (length == 2 && c < 0xC2) || c > 0xF4) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8: a strict JSON
    // reader refuses the whole document for one of them.
    const unsigned char next = byte(at + 1);
    if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90) ||
        (c == 0xF4 && next >= 0x90))
        return 0;
    return length;
}

void fillRandom(unsigned char* out, std::size_t size) {
    while (size > 0) {
        const ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("no random bytes from the system");
        }
        out += got;
        size -= static_cast<std::size_t>(got);
    }
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const std::size_t length = utf8Length(text, at);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text, at, length);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '&') {
            // Controls as \u escapes; markup characters too, so a page that embeds the JSON gets none.
            constexpr char kHex[] = "0123456789abcdef";
            const auto byte = static_cast<unsigned char>(c);
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
        at += length;
    }
    return out + '"';
}

std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    fillRandom(raw.data(), raw.size());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : raw) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string confirmationCode() {
    static constexpr char kAlphabet[] = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";  // 32 signs: 5 bits each
    unsigned char raw[12];
    fillRandom(raw, sizeof raw);
    std::string out;
    for (const unsigned char b : raw) out += kAlphabet[b & 31];
    return out;
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += kDigits[digest[i] >> 4];
        out += kDigits[digest[i] & 0xF];
    }
    return out;
}

std::string utcText(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

std::optional<std::chrono::sys_seconds> parseUtcMinute(std::string_view text) {
    if (text.size() != 16 || text[10] != ' ' || text[13] != ':') return std::nullopt;
    std::chrono::sys_days day;
    if (!logs::parseIsoDate(text.substr(0, 10), day)) return std::nullopt;
    const auto digits = [&](std::size_t at) -> int {
        const char a = text[at], b = text[at + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
        return (a - '0') * 10 + (b - '0');
    };
    const int hour = digits(11), minute = digits(14);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    return std::chrono::sys_seconds{day} + std::chrono::hours{hour} + std::chrono::minutes{minute};
}

bool sameSecret(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

}  // namespace robot
