#include "tools/report/html_page.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/logs/utf8_path.h"

namespace report::html {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence at the start of `s` (shortest form, no surrogates, at most
// U+10FFFF), 0 when it is none.
std::size_t utf8Length(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const auto cont = [&](std::size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        if (c == 0xE0 && b(1) < 0xA0) return 0;  // overlong
        if (c == 0xED && b(1) >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if (c == 0xF0 && b(1) < 0x90) return 0;  // overlong
        if (c == 0xF4 && b(1) >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '&': out += "&amp;"; ++i; continue;
            case '<': out += "&lt;"; ++i; continue;
            case '>': out += "&gt;"; ++i; continue;
            case '"': out += "&quot;"; ++i; continue;
            case '\'': out += "&#39;"; ++i; continue;
            default: break;
        }
        if (c == '\t' || c == '\n' || (c >= 0x20 && c < 0x7F)) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t n = c < 0x80 ? 0 : utf8Length(text.substr(i));
        // C1 controls (U+0080..U+009F) are no more text than C0 ones.
        if (n == 0 || (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            out += kReplacement;
            i += n ? n : 1;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    appendEscaped(out, text);
    return out;
}

std::string grouped(std::int64_t value) {
    const bool negative = value < 0;
    const std::string digits = std::to_string(value).substr(negative ? 1 : 0);
    std::string out = negative ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += "\xE2\x80\x89";  // thin space
        out += digits[i];
    }
    return out;
}

std::string_view pageStyle() {
    return R"(:root{--ink:#1a202c;--muted:#5f6b7a;--line:#d9dfe7;--navy:#12324f}
*{box-sizing:border-box}
body{margin:0;font:15px/1.45 system-ui,"Segoe UI",Roboto,"Liberation Sans",Arial,sans-serif;color:var(--ink);background:#f3f5f8}
header.top{background:var(--navy);color:#fff;padding:18px 0 16px}
header.top>div,main,footer{max-width:1120px;margin:0 auto;padding-left:20px;padding-right:20px}
h1{margin:0 0 2px;font-size:28px;letter-spacing:.5px}
header.top p{margin:2px 0;color:#cdd9e6}
header.top .facts{display:flex;flex-wrap:wrap;gap:4px 20px;margin:8px 0 0;font-size:14px;color:#fff}
header.top small{color:#9fb4c9;font-size:12px}
section{background:#fff;border:1px solid var(--line);border-radius:8px;padding:14px 18px;margin:16px 0}
h2{font-size:18px;margin:0 0 10px;color:var(--navy)}
h3{font-size:15px;margin:14px 0 6px;color:var(--navy)}
p{margin:6px 0}
table{border-collapse:collapse;font-variant-numeric:tabular-nums;margin:4px 0}
th,td{padding:3px 10px;border-bottom:1px solid #e7ebf0;text-align:left;vertical-align:top}
th{background:#eef2f7;font-weight:600}
.num{text-align:right}
table.compact th,table.compact td{padding:2px 7px}
tr.total td{font-weight:700;border-top:2px solid #9aa8b8}
tr.day td{background:#f7f9fb;color:var(--muted);font-weight:600}
td.zero{color:#b8c1cc}
.tiles{display:flex;flex-wrap:wrap;gap:10px;margin:16px 0}
.tile{flex:1 1 120px;background:#fff;border:1px solid var(--line);border-radius:8px;padding:8px 12px}
.tile b{display:block;font-size:24px;font-variant-numeric:tabular-nums;white-space:nowrap}
.tile span{color:var(--muted);font-size:13px}
.tile.main{background:var(--navy);color:#fff;border-color:var(--navy)}
.tile.main span{color:#cdd9e6}
.chart{width:100%;height:auto;display:block}
.chart text{font-size:11px;fill:#4a5568}
.chart .grid{stroke:#e4e9ef}
.chart .axis{stroke:#8a96a5}
.chart .daymark{stroke:#8a96a5;stroke-dasharray:4 3}
.chart .brk{fill:#eef1f5}
.chart polyline{fill:none;stroke-width:2.2;stroke-linejoin:round}
.chart .label{font-size:12px;font-weight:600;fill:var(--navy)}
.legend{font-size:13px;color:var(--muted);margin:2px 0 6px}
.sw{display:inline-block;width:12px;height:12px;margin:0 5px 0 14px;vertical-align:-1px}
th .sw{margin:0 5px 0 0}
.b0{fill:#2f6db5;background:#2f6db5;stroke:#2f6db5}
.b1{fill:#e07b24;background:#e07b24;stroke:#e07b24}
.b2{fill:#3f9a5b;background:#3f9a5b;stroke:#3f9a5b}
.b3{fill:#8a5cc2;background:#8a5cc2;stroke:#8a5cc2}
.b4{fill:#c94a5a;background:#c94a5a;stroke:#c94a5a}
.b5{fill:#6b7785;background:#6b7785;stroke:#6b7785}
.cols{display:flex;flex-wrap:wrap;gap:0 28px}
.muted{color:var(--muted)}
.err{color:#b3261e;font-weight:600}
.warn{color:#a35c00;font-weight:600}
details>summary{cursor:pointer;color:var(--navy);font-weight:600;margin:4px 0}
code,.mono{font-family:"Liberation Mono",Consolas,monospace;font-size:13px}
footer{color:var(--muted);font-size:12px;padding-bottom:24px}
)";
}

void beginPage(std::string& out, std::string_view title, std::string_view extraStyle) {
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    appendEscaped(out, title);
    out += "</title>\n<style>\n";
    out += pageStyle();
    out += extraStyle;
    out += "</style>\n</head>\n<body>\n";
}

void endPage(std::string& out, std::string_view footer) {
    out += "<footer>";
    appendEscaped(out, footer);
    out += "</footer>\n</body>\n</html>\n";
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path target = logs::utf8Path(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    fs::path temp = target;
    temp += ".partial";
#ifdef _WIN32
    std::FILE* file = _wfopen(temp.c_str(), L"wb");  // the name in UTF-16, whatever the code page
#else
    std::FILE* file = std::fopen(temp.c_str(), "wb");
#endif
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(written ? errno : writeErrno);
        fs::remove(temp, ec);
        return false;
    }
    fs::rename(temp, target, ec);
    if (ec) {
        error = "cannot write " + path + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace report::html
