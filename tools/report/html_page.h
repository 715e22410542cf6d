#pragma once
// The pieces of the tools' HTML pages: escaping of texts from logs, one page frame with the shared
// style sheet, and writing a file so that a reader never finds half of it.

#include <cstdint>
#include <string>
#include <string_view>

namespace report::html {

/// Appends `text` for element content or a quoted attribute value: & < > " ' as character
/// references; bytes that are not UTF-8 and control characters other than tab and line feed as
/// U+FFFD, so that any bytes from a log give valid UTF-8 HTML that shows them as text.
void appendEscaped(std::string& out, std::string_view text);
std::string escaped(std::string_view text);

/// A whole number with thin spaces between groups of three digits ("1 234 567").
std::string grouped(std::int64_t value);

/// The shared style sheet: page, headings, tables (class "num" right-aligns a cell), key figures
/// (class "tiles"), charts (class "chart") and the band colours b0..b5 for SVG fills and swatches.
std::string_view pageStyle();

/// Starts a page: doctype, UTF-8, viewport, `title`, the shared style plus `extraStyle`, <body>.
void beginPage(std::string& out, std::string_view title, std::string_view extraStyle = {});
/// Ends the page with a footer line `footer` (escaped) and the closing tags.
void endPage(std::string& out, std::string_view footer);

/// Writes `bytes` to a temporary file beside `path` and renames it to `path`: an interrupted run
/// leaves the old file or none, never half of one. False with a one-line `error` naming the file.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace report::html
