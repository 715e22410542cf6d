#pragma once
// Reads the fixed file version of a Windows executable without the Windows version API.

#include <cstdint>
#include <optional>
#include <span>

#include "cabrillo/cabrillo_log.h"

namespace stats {

/// The fixed version block (VS_FIXEDFILEINFO) of a PE image's RT_VERSION resource, as the
/// version API returns it for the root "\\"; none when the image is not a PE, has no version
/// resource, or is truncated or malformed anywhere on the way.
std::optional<HostVersion> readPeFileVersion(std::span<const std::uint8_t> image);

}  // namespace stats
