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

void ComHostLink::lookup() {
    if (!comInitialised_) {
        const HRESULT hr = ::CoInitialize(nullptr);
        // S_FALSE: already initialised on this thread, which still needs its CoUninitialize.
        comInitialised_ = SUCCEEDED(hr);
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
    if (comInitialised_ && uninitialiseCom) ::CoUninitialize();
    comInitialised_ = false;
}

void ComHostLink::invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, const char* operation) {
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
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
