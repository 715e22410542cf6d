#include "tools/logs/adif.h"

#include <algorithm>

#include "core/text.h"

namespace logs {
namespace {

constexpr std::size_t kReadChunk = 1 << 16;
// A tag is a name, a length and a type: anything longer is text that merely contains '<'.
constexpr std::size_t kMaxTagLength = 200;

std::string describe(std::string_view tag) {
    std::string shown(tag.substr(0, 40));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return "<" + shown + (tag.size() > 40 ? "...>" : ">");
}

// What a tag (the text between '<' and '>') says: the end of a record, the end of the header, a
// field with its name and its value's length, or a problem that makes the record malformed.
struct TagMeaning {
    enum class Kind { kEndOfRecord, kEndOfHeader, kField, kProblem };
    Kind kind = Kind::kProblem;
    std::string_view name;  ///< the field's name as written
    std::uint64_t length = 0;
    std::string problem;
};

TagMeaning meaningOf(std::string_view tag) {
    using Kind = TagMeaning::Kind;
    const std::size_t colon = tag.find(':');
    if (colon == std::string_view::npos) {
        if (stats::equalsIgnoringCase(tag, "EOR")) return {Kind::kEndOfRecord};
        if (stats::equalsIgnoringCase(tag, "EOH")) return {Kind::kEndOfHeader};
        return {Kind::kProblem, {}, 0, "tag " + describe(tag) + " has no length"};
    }
    TagMeaning field{Kind::kField, tag.substr(0, colon)};
    if (field.name.empty()) return {Kind::kProblem, {}, 0, "tag " + describe(tag) + " has no field name"};
    const std::string_view rest = tag.substr(colon + 1);
    if (!stats::parseDigits(rest.substr(0, rest.find(':')), field.length))
        return {Kind::kProblem, {}, 0, "tag " + describe(tag) + " has a malformed length"};
    if (field.length > AdifReader::kMaxValueLength)
        return {Kind::kProblem, {}, 0,
                "tag " + describe(tag) + " declares a length beyond " + std::to_string(AdifReader::kMaxValueLength) +
                    " bytes"};
    return field;
}

}  // namespace

std::optional<std::string_view> AdifRecord::find(std::string_view upperName) const {
    for (const AdifField& f : fields)
        if (f.name == upperName) return std::string_view(f.value);
    return std::nullopt;
}

std::string_view AdifRecord::get(std::string_view upperName) const {
    return find(upperName).value_or("");
}

AdifReader::AdifReader(std::istream& in) : in_(in), buffer_(kReadChunk) {}

void AdifReader::refill() {
    pos_ = 0;
    end_ = 0;
    if (!in_) return;
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    end_ = static_cast<std::size_t>(in_.gcount());
}

int AdifReader::peek() {
    if (pos_ == end_) refill();
    return pos_ == end_ ? -1 : static_cast<unsigned char>(buffer_[pos_]);
}

int AdifReader::get() {
    const int c = peek();
    if (c >= 0) {
        ++pos_;
        ++consumed_;
    }
    return c;
}

// Reads the text between '<' (already consumed) and '>'. A '<' inside restarts the tag: the
// earlier one was stray text, and so is a '<' followed by a long run of text without '>'.
AdifReader::TagRead AdifReader::readTag(std::string& tag) {
    tag.clear();
    for (;;) {
        const int c = get();
        if (c < 0) return TagRead::kEndOfFile;
        if (c == '>') return TagRead::kTag;
        if (c == '<') {
            tag.clear();
            continue;
        }
        if (tag.size() == kMaxTagLength) return TagRead::kStrayText;
        tag.push_back(static_cast<char>(c));
    }
}

bool AdifReader::readValue(std::string& value, std::uint64_t length) {
    value.clear();
    while (value.size() < length) {
        if (pos_ == end_ && peek() < 0) return false;
        const std::size_t take = std::min<std::size_t>(end_ - pos_, length - value.size());
        value.append(buffer_.data() + pos_, take);
        pos_ += take;
        consumed_ += take;
    }
    return true;
}

bool AdifReader::next(AdifRecord& record) {
    // Field objects are reused from record to record: a large log then costs no allocation per field.
    std::size_t used = 0;
    record.problem.clear();
    record.terminated = true;
    // The record ends here: numbered, holding the fields read, `terminated` when <EOR> ended it.
    auto finish = [this, &record, &used](bool terminated) {
        record.number = ++recordCount_;
        record.terminated = terminated;
        record.fields.resize(used);
        return true;
    };
    auto fail = [&record](std::string text) {
        if (record.problem.empty()) record.problem = std::move(text);
    };

    // A header (free text and fields up to <EOH>) needs no case of its own: text between tags is
    // skipped anyway, and <EOH> drops the fields gathered so far. So a header without the leading
    // text, or a file without <EOH>, reads as well.
    std::string& tag = tag_;
    for (;;) {
        int c = get();
        while (c >= 0 && c != '<') c = get();  // text between fields (line breaks, comments) carries nothing
        const TagRead read = c < 0 ? TagRead::kEndOfFile : readTag(tag);
        if (read == TagRead::kStrayText) continue;
        if (read == TagRead::kEndOfFile) {
            if (c < 0 && used == 0 && record.problem.empty()) {
                record.fields.clear();
                return false;
            }
            if (c >= 0) fail("unterminated tag at the end of the file");
            return finish(false);
        }

        TagMeaning meaning = meaningOf(tag);
        if (meaning.kind == TagMeaning::Kind::kEndOfRecord) return finish(true);
        if (meaning.kind == TagMeaning::Kind::kEndOfHeader) {
            // A header in a file that starts with a tag: what came before it was no record.
            used = 0;
            record.problem.clear();
            continue;
        }
        if (meaning.kind == TagMeaning::Kind::kProblem) {
            fail(std::move(meaning.problem));
            continue;
        }

        if (used == record.fields.size()) record.fields.emplace_back();
        AdifField& field = record.fields[used++];
        field.name.resize(meaning.name.size());
        std::transform(meaning.name.begin(), meaning.name.end(), field.name.begin(),
                       [](char c) { return stats::asciiUpper(c); });
        if (!readValue(field.value, meaning.length)) {
            fail("the file ends inside field " + field.name);
            return finish(false);
        }
    }
}

}  // namespace logs
