// The process-wide plug-in object in the DLL, and the DLL's start/stop hook.

#include <windows.h>

#include "core/exports.h"
#include "core/plugin.h"
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

HMODULE pluginModule() noexcept { return g_module; }

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
            if (reserved == nullptr) {
                if (stats::g_servicesCreated) stats::services().windows.stop();
                // The host's thread outlives the DLL: its runtime state goes with it.
                stats::releaseThreadRuntime(instance);
            }
            break;
    }
    return TRUE;
}
