// The process-wide plug-in object in the DLL, and the DLL's start/stop hook.

#include <windows.h>

#include "plugin/exports.h"
#include "plugin/plugin.h"
#include "platform/win32/cabrillo_dialog.h"
#include "platform/win32/profile_settings.h"
#include "platform/win32/win32_host_files.h"
#include "platform/win32/win32_message_box.h"
#include "windows/win32/thread_runtime.h"
#include "windows/win32/win32_window_thread.h"

namespace stats {
namespace {

HMODULE g_module = nullptr;
// Set once the services exist: an unload before any export call must not create them.
bool g_servicesCreated = false;

struct ProcessServices {
    ProfileSettings settings;
    Win32MessageBox messages;
    Win32WindowThread windows;
    Win32HeaderDialog headerDialog{g_module};
    Win32HostFiles hostFiles;
};

ProcessServices& services() {
    static ProcessServices s;
    g_servicesCreated = true;
    return s;
}

}  // namespace

Plugin& processPlugin() {
    static Plugin plugin(PluginServices{services().settings, services().messages, services().windows,
                                        services().headerDialog, services().hostFiles, {}});
    // The window thread reads the plug-in's state, so it can start only once the plug-in exists.
    static const bool attached = (services().windows.attach(plugin, g_module), true);
    (void)attached;
    return plugin;
}

}  // namespace stats

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            // Thread notifications stay on: the static thread runtime releases each ending
            // thread's handles in them.
            stats::g_module = instance;
            break;
        case DLL_PROCESS_DETACH:
            // On FreeLibrary (reserved == null) the windows close before the state goes away. When
            // the process is exiting, the other threads are already gone: nothing to wait for.
            if (reserved == nullptr && stats::g_servicesCreated) stats::services().windows.stop();
            break;
    }
    return TRUE;
}

// The DLL's entry point: the C runtime's own (which runs DllMain above), then, at an unload,
// the thread runtime's release once nothing of the C runtime runs any more (its static
// destructors come after DllMain). The host's thread outlives the DLL, so its runtime state
// would otherwise stay behind.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

extern "C" BOOL WINAPI StatsDllEntry(HANDLE instance, DWORD reason, LPVOID reserved) {
    const BOOL result = DllMainCRTStartup(instance, reason, reserved);
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        stats::releaseRuntimeAtUnload(static_cast<HMODULE>(instance));
    return result;
}
