#pragma once
// The Cabrillo export's platform services where there is no screen.

#include <filesystem>

#include "cabrillo/cabrillo_log.h"

namespace stats {

/// Names a file of "TAG=value" lines (cabrillo/header_answers.h) that ConfirmingHeaderDialog
/// types into the fields before it confirms them: how a program that drives the plug-in answers
/// the header dialog where there is no screen.
inline constexpr const char* kHeaderAnswersVariable = "STATS_HEADER_ANSWERS";

/// Confirms the prepared header fields, as an operator pressing OK would: unchanged, or with the
/// answers of the file that STATS_HEADER_ANSWERS names. A file that cannot be read or holds a
/// line of no field cancels the dialog (the export is then off) and says why on stderr.
class ConfirmingHeaderDialog final : public HeaderDialog {
public:
    bool run(CabrilloLog& fields) override;
};

/// Finds the host executable by listing "*.exe" in `dir` and reading its PE version resource.
class PortableHostFiles final : public HostFiles {
public:
    explicit PortableHostFiles(std::filesystem::path dir = {}) : dir_(std::move(dir)) {}
    std::optional<HostVersion> hostVersion() const override;

private:
    std::filesystem::path dir_;
};

}  // namespace stats
