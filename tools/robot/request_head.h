#pragma once
// A request's head and its chunked body read from the bytes as they arrive, within bounds and
// without sockets: what the front door must know of a request before it reads the body.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace robot {

/// Bounds on a request's head: its header lines, and its bytes from the request line to the blank line.
inline constexpr std::size_t kMaxHeadLines = 100;
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;

/// True when `a` and `b` name the same header (names compare in any case).
bool sameHeaderName(std::string_view a, std::string_view b);

/// A request's head as it came.
struct RequestHead {
    std::string method, target, version;
    std::string path;  ///< the target's path, percent-decoded, without its query
    std::vector<std::pair<std::string, std::string>> headers;
    std::size_t size = 0;  ///< bytes up to and including the blank line

    /// The first value of header `name` (any case); empty when there is none.
    std::string_view header(std::string_view name) const;
};

/// Where the reading of a head stands.
struct HeadReading {
    enum class State { kMore, kWhole, kRefused } state = State::kMore;
    int status = 0;  ///< when refused: 400 (it does not read) or 431 (past the bounds)
    RequestHead head;
};

/// Reads a head from the bytes received so far, looking only at those it has not seen before.
class HeadReader {
  public:
    /// `bytes` holds every byte received, of which earlier calls saw a beginning.
    HeadReading read(std::string_view bytes);

  private:
    std::size_t scanned_ = 0, lines_ = 0, lineStart_ = 0;
};

/// How a request's body is framed.
struct BodyFraming {
    enum class Kind { kNone, kLength, kChunked, kBad } kind = Kind::kNone;
    std::uint64_t length = 0;  ///< for kLength
};

/// The framing a head declares; kBad when it cannot be told for sure (a length and chunks, two
/// lengths, a coding other than chunked).
BodyFraming bodyFraming(const RequestHead& head);

/// A chunked body decoded as it arrives, refused the moment it would pass a limit.
class ChunkDecoder {
  public:
    enum class State { kMore, kDone, kBad, kTooLarge };
    explicit ChunkDecoder(std::size_t limit) : limit_(limit) {}
    /// Decodes `bytes`, the next that arrived, appending the data to `body`; bytes after the end are ignored.
    State feed(std::string_view bytes, std::string& body);

  private:
    State endLine(std::string& body);
    enum class Part { kSize, kData, kDataEnd, kTrailer } part_ = Part::kSize;
    State state_ = State::kMore;
    std::string line_;  // the size line, a data chunk's end or a trailer line being read
    std::uint64_t left_ = 0;
    std::size_t trailer_ = 0;
    std::size_t limit_;
};

}  // namespace robot
