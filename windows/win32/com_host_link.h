#pragma once
// The host link over COM: the running "Zarv2.Application" object's IDispatch.

#include <oaidl.h>

#include <functional>
#include <memory>

#include "windows/host_link.h"

namespace stats {

/// Looks up, calls and releases the host object, all on the window thread. A call the host has
/// not answered is cancelled when `stopRequested` turns true and a message reaches the thread
/// (the stop itself posts one), so a host that hangs cannot hold the windows' end.
class ComHostLink final : public HostLink {
public:
    explicit ComHostLink(std::function<bool()> stopRequested = {});
    ComHostLink(const ComHostLink&) = delete;
    ComHostLink& operator=(const ComHostLink&) = delete;
    ~ComHostLink() override;

    void lookup() override;
    bool connected() const override { return dispatch_ != nullptr; }
    void runMacro(std::string_view text) override;
    std::string queryText(int which) override;
    double frequency() override;
    /// Releases the host object (unless a cancelled call left it unanswered), takes back the
    /// thread's message filter and, when `uninitialiseCom`, ends this thread's use of COM.
    void release(bool uninitialiseCom = true) noexcept;

    class CancellingFilter;

private:
    void invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, const char* operation);

    std::unique_ptr<CancellingFilter> filter_;
    IMessageFilter* previousFilter_ = nullptr;
    bool filterRegistered_ = false;
    IDispatch* dispatch_ = nullptr;
    bool comInitialised_ = false;
};

}  // namespace stats
