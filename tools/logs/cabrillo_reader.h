#pragma once
// A reader for Cabrillo 2.0 and 3.0 logs: lines with their tags and numbers, QSO lines split into
// fields whatever the column widths, and a QSO line turned into the contact the host would log.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace logs {

class CountryFile;
struct ReplayQso;

/// One line of a Cabrillo file, without its line end (CR, LF or CR LF).
struct CabrilloLine {
    std::uint64_t number = 0;  ///< 1 for the first line
    std::uint64_t length = 0;  ///< the line's length in bytes; more than text.size() for a cut line
    std::string text;          ///< the line's bytes as they stand (a UTF-8 BOM on line 1 removed)
    std::string tag;           ///< the text before the first ':', upper case; empty when there is no ':'
    std::string value;         ///< the text after the ':', leading and trailing blanks and tabs removed
    bool colon = false;        ///< the line has a ':'

    /// True when the line is longer than the reader keeps.
    bool cut() const noexcept { return length > text.size(); }
};

/// Reads a file line by line, any bytes, any line ends, lines of any length in linear time.
class CabrilloLineReader {
  public:
    /// A line keeps at most this many bytes; the rest is counted in `length` only (no Cabrillo line
    /// is this long, so a binary file cannot fill the memory).
    static constexpr std::size_t kMaxLineLength = 1 << 20;

    explicit CabrilloLineReader(std::istream& in);
    /// The next line; false at the end of the file.
    bool next(CabrilloLine& line);
    /// Bytes consumed so far, for progress reports.
    std::uint64_t bytesRead() const noexcept { return consumed_; }

  private:
    bool refill();

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t number_ = 0;
    std::uint64_t consumed_ = 0;
};

/// The header of a Cabrillo file: its tags (upper case) with their values, up to the first QSO line.
std::vector<std::pair<std::string, std::string>> readCabrilloHeader(std::istream& in);

/// The fields of a QSO line's value, split at blanks and tabs, whatever the contest's layout.
std::vector<std::string_view> blankSeparated(std::string_view value);
/// The same into `fields`, which keeps its room from one line to the next.
void blankSeparated(std::string_view value, std::vector<std::string_view>& fields);

/// The fields of a QSO: line in this contest's layout, as written.
struct CabrilloQso {
    std::string frequency;  ///< kHz ("7012") or a band designator ("7000", "14000", "144")
    std::string mode;       ///< CW, PH, FM, RY, DG
    std::string date;       ///< YYYY-MM-DD
    std::string time;       ///< HHMM
    std::string ownCall;
    std::string rstSent;
    std::string numberSent;
    std::string call;
    std::string rstReceived;
    std::string numberReceived;
    std::string transmitter;  ///< the optional transmitter id, "" when absent
};

/// Splits the value of a QSO: line at blanks and tabs; false with a one-line `problem` when it
/// does not have the fields of this contest's layout (10, or 11 with a transmitter id).
bool splitQsoLine(std::string_view value, CabrilloQso& qso, std::string& problem);

/// The Cabrillo 3.0 category tags a 2.0 CATEGORY: value gives, as far as its words tell:
/// "SINGLE-OP-ASSISTED ALL LOW CW" gives CATEGORY-OPERATOR SINGLE-OP, CATEGORY-ASSISTED ASSISTED,
/// CATEGORY-BAND ALL, CATEGORY-POWER LOW and CATEGORY-MODE CW; "Single Operator LP", as loggers write
/// it by hand, gives SINGLE-OP and LOW; a word it does not know gives nothing.
std::vector<std::pair<std::string, std::string>> version2Categories(std::string_view value);

/// Adds to `header` (tags upper case) the 3.0 category tags its 2.0 CATEGORY: line gives, where the
/// header has no value of its own for them, after the file's tags.
void addVersion2Categories(std::vector<std::pair<std::string, std::string>>& header);

/// True when the file's first line (after an optional UTF-8 byte order mark and blank lines) is a
/// START-OF-LOG: tag, in any case.
bool looksLikeCabrillo(std::string_view firstBytes);

/// Fills `qso` as the host would log the QSO line: PH as SSB, the band from the frequency in kHz or
/// the band designator, the time from the date and time, the prefix and continent derived as for
/// ADIF (`countries` may be null). False with a one-line `problem` when the line cannot be a contact.
bool mapCabrilloQso(const CabrilloQso& fields, const CountryFile* countries, ReplayQso& qso,
                    std::string& problem);

/// mapCabrilloQso without the prefix and continent (left as they were).
bool mapCabrilloFields(const CabrilloQso& fields, ReplayQso& qso, std::string& problem);

}  // namespace logs
