#include "core/plugin.h"

#include "core/rules.h"

namespace stats {

Plugin::Plugin(PluginServices services) : services_(std::move(services)) {}

int Plugin::addData(const QsoParams&) { return 0; }

int Plugin::removeData(const QsoParams&) { return 0; }

int Plugin::resetStats(const ResetParams&) { return 1; }

int Plugin::checkCall(const CallCheckParams&) { return 1; }

const char* Plugin::getResult(int* status) {
    if (status) *status = -1;
    return summaryText_.c_str();
}

void Plugin::setupSet() {
    services_.messages.show(nullptr, "No additional setup for this contest", MessageIcon::kNone);
}

}  // namespace stats
