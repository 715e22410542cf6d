#pragma once
// The host link over COM: the running "Zarv2.Application" object's IDispatch.

#include <oaidl.h>

#include "windows/host_link.h"

namespace stats {

/// Looks up, calls and releases the host object, all on the window thread.
class ComHostLink final : public HostLink {
public:
    ComHostLink() = default;
    ComHostLink(const ComHostLink&) = delete;
    ComHostLink& operator=(const ComHostLink&) = delete;
    ~ComHostLink() override { release(); }

    void lookup() override;
    bool connected() const override { return dispatch_ != nullptr; }
    void runMacro(std::string_view text) override;
    std::string queryText(int which) override;
    double frequency() override;
    /// Releases the object and undoes this thread's COM initialisation.
    /// Releases the host object and, when `uninitialiseCom`, ends this thread's use of COM.
    void release(bool uninitialiseCom = true) noexcept;

private:
    void invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, const char* operation);

    IDispatch* dispatch_ = nullptr;
    bool comInitialised_ = false;
};

}  // namespace stats
