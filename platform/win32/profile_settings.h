#pragma once

#include "core/services.h"

namespace stats {

/// Settings through the platform's private-profile functions ("Plugins\SA-TOLVEN.ini", "Settings").
class ProfileSettings final : public Settings {
public:
    std::string read(std::string_view key, std::string_view fallback = {}) const override;
    bool write(std::string_view key, std::string_view value) override;
};

}  // namespace stats
