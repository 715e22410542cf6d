#pragma once

#include "core/services.h"

namespace stats {

/// MessageBoxA, owned by the calling thread's active window (or none).
class Win32MessageBox final : public MessageBoxService {
public:
    void show(const char* caption, const std::string& text, MessageIcon icon) override;
    void showUnowned(const char* caption, const std::string& text, MessageIcon icon) override;
};

}  // namespace stats
