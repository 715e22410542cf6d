#pragma once
// What every fake of the host's automation object shares: IUnknown and the IDispatch members
// the plug-in never calls, and the ProgID registration that lets the plug-in find it.

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cstring>

namespace wine_test {

/// An IDispatch whose Invoke a test defines. Lives as long as the test says: Release never
/// deletes it.
class FakeDispatch : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> refs_{1};
};

/// Points the ProgID "Zarv2.Application" at `clsidText` ("{...}"), as the host's installation does.
inline void registerHostProgId(const char* clsidText) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "Zarv2.Application\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsidText),
                       static_cast<DWORD>(std::strlen(clsidText) + 1));
        RegCloseKey(key);
    }
}

}  // namespace wine_test
