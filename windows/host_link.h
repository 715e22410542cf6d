#pragma once
// The window thread's link to the host's automation object "Zarv2.Application".

#include <stdexcept>
#include <string>
#include <string_view>

namespace stats {

/// Raised when the host object fails a call; it ends the window handler that made the call.
class HostCallFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The argument of queryText() that asks for the call in the host's entry field.
inline constexpr int kHostTypedCall = 5;

/// The host's running automation object, as the window thread uses it. Without the object
/// every operation returns at once and does nothing.
class HostLink {
public:
    virtual ~HostLink() = default;
    /// Finds the running host object (once per control panel); no retry when it is missing.
    virtual void lookup() = 0;
    /// True while the link holds the host object.
    virtual bool connected() const = 0;
    /// Runs a macro text in the host ("<MODE:CW>", "<SP1>").
    virtual void runMacro(std::string_view text) = 0;
    /// One of the host's texts (kHostTypedCall: the call being typed); "" without the object.
    virtual std::string queryText(int which) = 0;
    /// The radio frequency in hertz; 0 without the object.
    virtual double frequency() = 0;
};

}  // namespace stats
