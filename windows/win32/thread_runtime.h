#pragma once
// The statically linked thread runtime's per-thread state, released by hand where the loader
// cannot do it.

#include <windows.h>

namespace stats {

/// Runs `module`'s thread-detach callbacks for the calling thread, as the loader does when a
/// thread ends. The thread runtime linked into the DLL keeps a thread handle and an event for
/// every thread that used it; a thread that ends after the DLL is gone (the window thread at an
/// unload) or that outlives it (the host's thread) never gets that notification, so each would
/// leave both handles behind. Call it once the thread is done with the runtime: a later use
/// only sets up the state again.
void releaseThreadRuntime(HMODULE module) noexcept;

/// The last step of an unload, after the C runtime has finished: releases the calling thread's
/// state as above and frees the TLS index the runtime allocated for this load (the runtime
/// never frees it, and a process has about a thousand).
void releaseRuntimeAtUnload(HMODULE module) noexcept;

}  // namespace stats
