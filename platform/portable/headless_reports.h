#pragma once
// The Cabrillo export's platform services where there is no screen.

#include <filesystem>

#include "reports/cabrillo_log.h"

namespace stats {

/// Confirms the prepared header fields unchanged, as an operator pressing OK at once would.
class ConfirmingHeaderDialog final : public HeaderDialog {
public:
    bool run(CabrilloLog&) override { return true; }
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
