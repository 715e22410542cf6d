// The process-wide plug-in object on systems without Windows: portable services, no windows.

#include "plugin/exports.h"
#include "plugin/plugin.h"
#include "platform/portable/headless_reports.h"
#include "platform/portable/ini_settings.h"
#include "platform/portable/stderr_message_box.h"

namespace stats {

Plugin& processPlugin() {
    static IniFileSettings settings;
    static StderrMessageBox messages;
    static NoWindowThread windows;
    static ConfirmingHeaderDialog headerDialog;
    static PortableHostFiles hostFiles;
    static Plugin plugin(PluginServices{settings, messages, windows, headerDialog, hostFiles, {}});
    return plugin;
}

}  // namespace stats
