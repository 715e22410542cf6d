#pragma once

#include <string>

#include "cabrillo/cabrillo_log.h"

namespace stats {

/// The host executable found with FindFirstFileA("*.exe") and read with the version API.
class Win32HostFiles final : public HostFiles {
  public:
    /// `dir` is searched, or the current directory when it is empty.
    explicit Win32HostFiles(std::string dir = {}) : dir_(std::move(dir)) {}
    std::optional<HostVersion> hostVersion() const override;

  private:
    std::string dir_;
};

}  // namespace stats
