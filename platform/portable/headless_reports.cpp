#include "platform/portable/headless_reports.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "cabrillo/header_answers.h"
#include "platform/portable/pe_version.h"

namespace stats {
namespace {

// Executables beyond this size are not read: no host is that big, and the export must not stall.
constexpr std::uintmax_t kMaxImageSize = 256u << 20;

bool hasExeExtension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".exe";
}

}  // namespace

bool ConfirmingHeaderDialog::run(CabrilloLog& fields) {
    const char* file = std::getenv(kHeaderAnswersVariable);
    if (!file || !*file) return true;
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string problem = "cannot be read";
    if (!in || !applyHeaderAnswers(text, fields, problem)) {
        // Confirming other values than the ones asked for would write a file nobody meant.
        std::fprintf(stderr, "Cabrillo header: %s %s: %s; the export is cancelled\n", kHeaderAnswersVariable, file,
                     problem.c_str());
        return false;
    }
    return true;
}

std::optional<HostVersion> PortableHostFiles::hostVersion() const {
    // "*.exe" in the folder, walked in name order (the order an NTFS listing gives); the first
    // name containing "Zarv" is the host. No such name means no version, not the last file seen.
    const std::filesystem::path dir = dir_.empty() ? std::filesystem::path(".") : dir_;
    std::error_code ec;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (hasExeExtension(name) && it->is_regular_file(ec)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    const auto host = std::find_if(names.begin(), names.end(),
                                   [](const std::string& n) { return n.find("Zarv") != std::string::npos; });
    if (host == names.end()) return std::nullopt;

    const std::filesystem::path path = dir / *host;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxImageSize) return std::nullopt;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size())))
        return std::nullopt;
    return readPeFileVersion(image);
}

}  // namespace stats
