#include "platform/portable/headless_reports.h"

namespace stats {

std::optional<HostVersion> PortableHostFiles::hostVersion() const { return std::nullopt; }

}  // namespace stats
