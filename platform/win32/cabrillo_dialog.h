#pragma once

#include <windows.h>

#include "cabrillo/cabrillo_log.h"

namespace stats {

/// The Cabrillo header dialog (template 101), modal on the calling thread, with no owner.
class Win32HeaderDialog final : public HeaderDialog {
  public:
    explicit Win32HeaderDialog(HINSTANCE module) : module_(module) {}
    bool run(CabrilloLog& fields) override;

  private:
    HINSTANCE module_;
};

}  // namespace stats
