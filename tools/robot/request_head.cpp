#include "tools/robot/request_head.h"

#include <algorithm>
#include <charconv>

namespace robot {

namespace {

// A line of a chunked body's framing: a chunk's size with its extensions, a trailer's field.
constexpr std::size_t kMaxChunkLine = 1024;

char lowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view withoutBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerChar(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path of an origin-form target, its %XX escapes decoded (as the HTTP server decodes it before
// it matches the routes).
std::string decodedPath(std::string_view target) {
    target = target.substr(0, target.find('?'));
    std::string path;
    for (std::size_t i = 0; i < target.size(); ++i) {
        const int high = i + 2 < target.size() && target[i] == '%' ? hexValue(target[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(target[i + 2]) : -1;
        if (low < 0) {
            path += target[i];
            continue;
        }
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

// "METHOD /target HTTP/1.x"; false when the line is not that.
bool readRequestLine(std::string_view line, RequestHead& head) {
    const std::size_t first = line.find(' '), last = line.rfind(' ');
    if (first == std::string_view::npos || first == last || first == 0) return false;
    head.method = line.substr(0, first);
    head.target = line.substr(first + 1, last - first - 1);
    head.version = line.substr(last + 1);
    const bool methodOk =
        std::all_of(head.method.begin(), head.method.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    const bool targetOk = !head.target.empty() && head.target.front() == '/' &&
                          std::all_of(head.target.begin(), head.target.end(), [](char c) {
                              return static_cast<unsigned char>(c) > ' ' && c != 0x7F;
                          });
    if (!methodOk || !targetOk || (head.version != "HTTP/1.1" && head.version != "HTTP/1.0")) return false;
    head.path = decodedPath(head.target);
    return true;
}

// "Name: value", no folded line, no control character in the value.
bool readHeaderLine(std::string_view line, RequestHead& head) {
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) return false;
    const std::string_view name = line.substr(0, colon), value = withoutBlanks(line.substr(colon + 1));
    if (!std::all_of(name.begin(), name.end(), isTokenChar)) return false;
    if (std::any_of(value.begin(), value.end(),
                    [](char c) { return (c >= 0 && c < ' ' && c != '\t') || c == 0x7F; }))
        return false;
    head.headers.emplace_back(name, value);
    return true;
}

// The head in `bytes`, which ends with its blank line; a 400 when a line does not read.
HeadReading parsedHead(std::string_view bytes) {
    HeadReading reading{HeadReading::State::kWhole, 0, {}};
    reading.head.size = bytes.size();
    bool first = true;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() && !first) break;
        if (!(first ? readRequestLine(line, reading.head) : readHeaderLine(line, reading.head)))
            return {HeadReading::State::kRefused, 400, {}};
        first = false;
    }
    return reading;
}

}  // namespace

bool sameHeaderName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerChar(x) == lowerChar(y); });
}

std::string_view RequestHead::header(std::string_view name) const {
    for (const auto& [n, value] : headers)
        if (sameHeaderName(n, name)) return value;
    return {};
}

HeadReading HeadReader::read(std::string_view bytes) {
    // Only the bytes not seen before are looked at, so that a head trickled a byte at a time costs
    // its length once, not its length squared.
    for (; scanned_ < bytes.size() && scanned_ < kMaxHeadBytes; ++scanned_) {
        if (bytes[scanned_] != '\n') continue;
        std::string_view line = bytes.substr(lineStart_, scanned_ - lineStart_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lineStart_ = scanned_ + 1;
        if (line.empty() && lines_ > 0) return parsedHead(bytes.substr(0, scanned_ + 1));
        if (++lines_ > kMaxHeadLines + 1) return {HeadReading::State::kRefused, 431, {}};
    }
    if (scanned_ >= kMaxHeadBytes) return {HeadReading::State::kRefused, 431, {}};
    return {};
}

BodyFraming bodyFraming(const RequestHead& head) {
    std::size_t codings = 0, lengths = 0;
    std::string_view coding, length;
    for (const auto& [name, value] : head.headers) {
        if (sameHeaderName(name, "Transfer-Encoding")) ++codings, coding = value;
        if (!sameHeaderName(name, "Content-Length")) continue;
        if (lengths++ > 0 && value != length) return {BodyFraming::Kind::kBad, 0};
        length = value;
    }
    if (codings > 0)
        return codings == 1 && lengths == 0 && sameHeaderName(coding, "chunked")
                   ? BodyFraming{BodyFraming::Kind::kChunked, 0}
                   : BodyFraming{BodyFraming::Kind::kBad, 0};
    if (lengths == 0) return {};
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), n);
    if (ec != std::errc() || end != length.data() + length.size() || length.front() == '+')
        return {BodyFraming::Kind::kBad, 0};
    return {BodyFraming::Kind::kLength, n};
}

ChunkDecoder::State ChunkDecoder::feed(std::string_view bytes, std::string& body) {
    while (state_ == State::kMore && !bytes.empty()) {
        if (part_ == Part::kData) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, bytes.size()));
            body.append(bytes.data(), n);
            bytes.remove_prefix(n);
            if ((left_ -= n) == 0) part_ = Part::kDataEnd;
            continue;
        }
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        line_.append(piece);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (part_ == Part::kTrailer) trailer_ += piece.size() + 1;
        if (line_.size() > kMaxChunkLine || trailer_ > kMaxHeadBytes) state_ = State::kBad;
        if (end != std::string_view::npos && state_ == State::kMore) state_ = endLine(body);
    }
    return state_;
}

// A whole line of the framing has arrived in line_.
ChunkDecoder::State ChunkDecoder::endLine(std::string& body) {
    std::string_view line = line_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    State next = State::kMore;
    if (part_ == Part::kSize) {
        // The size in hex, then any extensions after ';', which say nothing to the robot.
        const std::string_view digits = withoutBlanks(line.substr(0, line.find(';')));
        std::uint64_t size = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
            next = State::kBad;
        else if (size > limit_ - std::min(limit_, body.size()))
            next = State::kTooLarge;
        left_ = size;
        part_ = size == 0 ? Part::kTrailer : Part::kData;
    } else if (part_ == Part::kDataEnd) {
        next = line.empty() ? State::kMore : State::kBad;
        part_ = Part::kSize;
    } else if (line.empty()) {
        next = State::kDone;
    }
    line_.clear();
    return next;
}

}  // namespace robot
