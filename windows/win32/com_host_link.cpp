#include "windows/win32/com_host_link.h"

#include <objbase.h>

#include <cstdio>

#include "windows/win32/win32_handles.h"

namespace stats {
namespace {

constexpr DISPID kRunMacro = 16;
constexpr DISPID kQueryText = 8;
constexpr DISPID kFrequency = 2;

}  // namespace

/// The window thread's message filter: while a call waits for the host, a message that arrives
/// after a stop was asked for cancels the call; otherwise COM's default handling stands.
class ComHostLink::CancellingFilter final : public IMessageFilter {
public:
    explicit CancellingFilter(std::function<bool()> stopRequested) : stopRequested_(std::move(stopRequested)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
            *out = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by the link, which takes it back from COM before it goes.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return stopRequested_ && stopRequested_() ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
    }

private:
    std::function<bool()> stopRequested_;
};

ComHostLink::ComHostLink(std::function<bool()> stopRequested)
    : filter_(std::make_unique<CancellingFilter>(std::move(stopRequested))) {}

ComHostLink::~ComHostLink() { release(); }

void ComHostLink::lookup() {
    if (!comInitialised_) {
        const HRESULT hr = ::CoInitialize(nullptr);
        // S_FALSE: already initialised on this thread, which still needs its CoUninitialize.
        comInitialised_ = SUCCEEDED(hr);
        if (comInitialised_)
            filterRegistered_ = SUCCEEDED(::CoRegisterMessageFilter(filter_.get(), &previousFilter_));
    }
    if (dispatch_) return;
    CLSID clsid{};
    ::CLSIDFromProgID(L"Zarv2.Application", &clsid);
    IUnknown* unknown = nullptr;
    if (SUCCEEDED(::GetActiveObject(clsid, nullptr, &unknown)) && unknown) {
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) dispatch_ = dispatch;
        unknown->Release();
    }
}

void ComHostLink::release(bool uninitialiseCom) noexcept {
    if (dispatch_) {
        dispatch_->Release();
        dispatch_ = nullptr;
    }
    // Always taken back, even when COM stays initialised: the apartment would otherwise call
    // into this code after the DLL is gone.
    if (filterRegistered_) {
        IMessageFilter* ours = nullptr;
        ::CoRegisterMessageFilter(previousFilter_, &ours);
        if (previousFilter_) previousFilter_->Release();
        previousFilter_ = nullptr;
        filterRegistered_ = false;
    }
    if (comInitialised_ && uninitialiseCom) ::CoUninitialize();
    comInitialised_ = false;
}

void ComHostLink::invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, const char* operation) {
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
    if (hr == RPC_E_CALL_CANCELED) {
        // Dropped, not released: releasing a remote object is itself a call to the host, which
        // is not answering.
        dispatch_ = nullptr;
        throw HostCallCancelled("The call was cancelled: the windows are closing.");
    }
    if (FAILED(hr)) {
        char text[160];
        std::snprintf(text, sizeof text, "The logging program failed the call %s (error 0x%08lX).", operation,
                      static_cast<unsigned long>(hr));
        throw HostCallFailed(text);
    }
}

void ComHostLink::runMacro(std::string_view text) {
    if (!dispatch_) return;
    const std::wstring wide = widen(text, CP_ACP);
    VariantGuard arg;
    arg->vt = VT_BSTR;
    arg->bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    VariantGuard result;
    DISPPARAMS params{arg.get(), nullptr, 1, 0};
    invoke(kRunMacro, DISPATCH_METHOD, params, result.get(), "HostRunMacro");
}

std::string ComHostLink::queryText(int which) {
    if (!dispatch_) return {};
    VariantGuard arg;
    arg->vt = VT_I4;
    arg->lVal = which;
    VariantGuard result;
    DISPPARAMS params{arg.get(), nullptr, 1, 0};
    invoke(kQueryText, DISPATCH_METHOD, params, result.get(), "HostQueryText");
    // A result of another type is converted rather than read as a text it is not.
    if (result->vt != VT_BSTR && FAILED(::VariantChangeType(result.get(), result.get(), 0, VT_BSTR))) return {};
    const BSTR text = result->bstrVal;
    return text ? narrow(text, static_cast<int>(::SysStringLen(text))) : std::string();
}

double ComHostLink::frequency() {
    if (!dispatch_) return 0.0;
    VariantGuard result;
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    invoke(kFrequency, DISPATCH_PROPERTYGET, params, result.get(), "HostFrequency");
    if (result->vt != VT_R8 && FAILED(::VariantChangeType(result.get(), result.get(), 0, VT_R8))) return 0.0;
    return result->dblVal;
}

}  // namespace stats
