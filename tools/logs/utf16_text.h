#pragma once
// Logs saved as UTF-16 text, as some editors save them, read as the UTF-8 text the log readers take.

#include <istream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace logs {

/// True when `bytes` start with a UTF-16 byte order mark, little-endian (FF FE) or big-endian (FE FF).
bool startsWithUtf16Mark(std::string_view bytes);

/// Turns UTF-16 into UTF-8 piece by piece, in linear time, at most 3 bytes out for 2 in (and 3 for an odd
/// last byte). A surrogate pair is one character; an unpaired surrogate or an odd last byte is U+FFFD.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}
    /// Appends the characters `bytes` complete to `out`; a byte or surrogate left over waits for more.
    void feed(std::string_view bytes, std::string& out);
    /// Appends what is left over at the end (U+FFFD for a lone byte or surrogate).
    void finish(std::string& out);

  private:
    void unit(char16_t u, std::string& out);

    bool bigEndian_;
    int oddByte_ = -1;   ///< the first byte of a unit whose second has not come; -1 for none
    char16_t high_ = 0;  ///< a high surrogate waiting for its low half; 0 for none
};

/// `bytes` as UTF-8 when they start with a UTF-16 byte order mark (the mark dropped, CR LF kept); nullopt
/// when they do not.
std::optional<std::string> decodeUtf16(std::string_view bytes);

/// `head`, bytes already read that start with a UTF-16 byte order mark, and the rest of `in`, as UTF-8.
/// `in` is bad afterwards when it could not be read to the end.
std::string decodeUtf16(std::string_view head, std::istream& in);

/// A log opened for its readers: a file or string stream that starts with a UTF-16 byte order mark is
/// read whole and decoded; any other is read as it is, from where it stood (a stream that cannot seek,
/// a pipe, is never looked into: readLog decodes such a stream itself).
class LogText {
  public:
    explicit LogText(std::istream& in);
    LogText(const LogText&) = delete;
    LogText& operator=(const LogText&) = delete;

    /// The text to read: the decoded copy, or `in` itself.
    std::istream& stream() { return utf16_ ? decoded_ : in_; }
    /// True when the log was UTF-16 text.
    bool utf16() const noexcept { return utf16_; }

  private:
    std::istream& in_;
    std::istringstream decoded_;
    bool utf16_ = false;
};

}  // namespace logs
