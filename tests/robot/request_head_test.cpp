// A request's head and a chunked body read as the front door reads them: every case whole and a
// byte at a time, with the same outcome.
#include "tools/robot/request_head.h"

#include <gtest/gtest.h>

namespace {

using robot::BodyFraming;
using robot::ChunkDecoder;
using robot::HeadReading;

// The head read from `bytes` as they arrive `step` bytes at a time.
HeadReading readInSteps(const std::string& bytes, std::size_t step) {
    robot::HeadReader reader;
    HeadReading reading;
    for (std::size_t n = std::min(step, bytes.size());; n = std::min(n + step, bytes.size())) {
        reading = reader.read(std::string_view(bytes).substr(0, n));
        if (reading.state != HeadReading::State::kMore || n == bytes.size()) return reading;
    }
}

std::string headers(std::size_t count) {
    std::string lines;
    for (std::size_t i = 0; i < count; ++i) lines += "X-" + std::to_string(i) + ": v\r\n";
    return lines;
}

}  // namespace

TEST(RequestHead, AHeadIsWholeRefusedOrAwaitedWhateverTheStepsItArrivesIn) {
    const std::string post = "POST /api/logs HTTP/1.1\r\nHost: x\r\nContent-Length: 12\r\n\r\n";
    const struct {
        std::string bytes;
        int status;  // 0: whole; -1: more awaited
        const char* path;
        BodyFraming::Kind framing;
    } cases[] = {
        {"GET /a%2Fb%zz?x=%41 HTTP/1.1\nHost: x\n\n", 0, "/a/b%zz", BodyFraming::Kind::kNone},
        {post + "body", 0, "/api/logs", BodyFraming::Kind::kLength},
        {"POST / HTTP/1.0\r\ntransfer-encoding: Chunked\r\n\r\n", 0, "/", BodyFraming::Kind::kChunked},
        {"POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\n", 0, "/",
         BodyFraming::Kind::kLength},
        {"POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", 0, "/",
         BodyFraming::Kind::kBad},
        {"POST / HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", 0, "/",
         BodyFraming::Kind::kBad},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", 0, "/", BodyFraming::Kind::kBad},
        {"POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\n", 0, "/", BodyFraming::Kind::kBad},
        {"GET / HTTP/1.1\r\n" + headers(100) + "\r\n", 0, "/", BodyFraming::Kind::kNone},
        {"GET / HTTP/1.1\r\nHost: x\r\n", -1, "", {}},
        {"GET / HTTP/1.1\r\n" + headers(101), 431, "", {}},
        {"GET / HTTP/1.1\r\nX: " + std::string(robot::kMaxHeadBytes, 'a'), 431, "", {}},
        {"\r\nGET / HTTP/1.1\r\n\r\n", 400, "", {}},
        {"GET /\r\n\r\n", 400, "", {}},
        {"get / HTTP/1.1\r\n\r\n", 400, "", {}},
        {"GET http://x/ HTTP/1.1\r\n\r\n", 400, "", {}},
        {"GET / HTTP/2.0\r\n\r\n", 400, "", {}},
        {"GET / HTTP/1.1\r\nX: a\r\n folded\r\n\r\n", 400, "", {}},
        {"GET / HTTP/1.1\r\nBad Name: a\r\n\r\n", 400, "", {}},
        {std::string("GET / HTTP/1.1\r\nX: a\0b\r\n\r\n", 26), 400, "", {}},
    };
    for (const auto& c : cases)
        for (const std::size_t step : {std::size_t{1}, std::size_t{7}, c.bytes.size()}) {
            const HeadReading r = readInSteps(c.bytes, step);
            const int status = r.state == HeadReading::State::kMore ? -1 : r.status;
            ASSERT_EQ(status, c.status) << c.bytes.substr(0, 60) << " in steps of " << step;
            if (status != 0) continue;
            EXPECT_EQ(r.head.path, c.path) << c.bytes;
            EXPECT_EQ(robot::bodyFraming(r.head).kind, c.framing) << c.bytes;
        }
    const HeadReading r = readInSteps(post + "body", 5);
    EXPECT_EQ(r.head.size, post.size());
    EXPECT_EQ(r.head.header("content-length"), "12");
    EXPECT_EQ(robot::bodyFraming(r.head).length, 12u);
}

TEST(RequestHead, AChunkedBodyIsDecodedAndCutOffOnceItWouldPassItsLimit) {
    const struct {
        std::string bytes;
        ChunkDecoder::State state;
        const char* body;
    } cases[] = {
        {"5\r\nhello\r\n0\r\n\r\nextra", ChunkDecoder::State::kDone, "hello"},
        {"5;name=v\r\nhello\r\nA\r\n world!!!!\r\n0\r\nTrailer: x\r\n\r\n", ChunkDecoder::State::kDone,
         "hello world!!!!"},
        {"5\nhello\n0\n\n", ChunkDecoder::State::kDone, "hello"},
        {"5\r\nhello\r\n", ChunkDecoder::State::kMore, "hello"},
        {"5\r\nhelloX\r\n", ChunkDecoder::State::kBad, "hello"},
        {"zz\r\n", ChunkDecoder::State::kBad, ""},
        {"\r\n", ChunkDecoder::State::kBad, ""},
        {"1;" + std::string(2000, 'e') + "\r\n", ChunkDecoder::State::kBad, ""},
        {"0\r\n" + std::string(70000, 'x'), ChunkDecoder::State::kBad, ""},
        {"10\r\n0123456789abcdef\r\n11\r\n", ChunkDecoder::State::kTooLarge, "0123456789abcdef"},
        {"10000000000000000\r\n", ChunkDecoder::State::kBad, ""},
        {"FFFFFFFFFFFFFFFF\r\n", ChunkDecoder::State::kTooLarge, ""},
    };
    for (const auto& c : cases)
        for (const std::size_t step : {std::size_t{1}, std::size_t{3}, c.bytes.size()}) {
            ChunkDecoder decoder(32);
            std::string body;
            ChunkDecoder::State state = ChunkDecoder::State::kMore;
            for (std::size_t at = 0; at < c.bytes.size(); at += step)
                state = decoder.feed(std::string_view(c.bytes).substr(at, step), body);
            EXPECT_EQ(state, c.state) << c.bytes.substr(0, 40) << " in steps of " << step;
            EXPECT_EQ(body, c.body) << c.bytes.substr(0, 40);
        }
}
