#include "windows/win32/thread_runtime.h"

#include <pthread.h>

#include <array>

namespace stats {
namespace {

// Every TLS index a process can have: the slots in the thread block and the expansion slots.
constexpr DWORD kTlsIndexes = TLS_MINIMUM_AVAILABLE + 1024;

}  // namespace

void releaseThreadRuntime(HMODULE module) noexcept {
    if (!module) return;
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS];
    if (entry.VirtualAddress == 0 || entry.Size < sizeof(IMAGE_TLS_DIRECTORY)) return;
    const auto* tls = reinterpret_cast<const IMAGE_TLS_DIRECTORY*>(base + entry.VirtualAddress);
    // The callback list holds addresses already relocated by the loader, ended by a null.
    const auto* callback = reinterpret_cast<const PIMAGE_TLS_CALLBACK*>(tls->AddressOfCallBacks);
    for (; callback && *callback; ++callback) (*callback)(module, DLL_THREAD_DETACH, nullptr);
}

void releaseRuntimeAtUnload(HMODULE module) noexcept {
    // The runtime keeps its per-thread state in a TLS index of its own and clears this thread's
    // slot when it releases the state: the one slot that goes from set to clear is that index.
    // Asking for the thread's id first makes sure the state exists, whichever thread unloads.
    (void)::pthread_self();
    std::array<void*, kTlsIndexes> before{};
    for (DWORD i = 0; i < kTlsIndexes; ++i) before[i] = ::TlsGetValue(i);
    releaseThreadRuntime(module);
    DWORD cleared = TLS_OUT_OF_INDEXES;
    for (DWORD i = 0; i < kTlsIndexes; ++i) {
        if (!before[i] || ::TlsGetValue(i)) continue;
        if (cleared != TLS_OUT_OF_INDEXES) return;  // not the one slot expected: free nothing
        cleared = i;
    }
    if (cleared != TLS_OUT_OF_INDEXES) ::TlsFree(cleared);
}

}  // namespace stats
