#pragma once

#include "core/services.h"

namespace stats {

/// Message boxes without a screen: the caption (if any) and the text go to standard error.
class StderrMessageBox final : public MessageBoxService {
public:
    void show(const char* caption, const std::string& text, MessageIcon icon) override;
};

}  // namespace stats
