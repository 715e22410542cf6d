#include "core/call_check.h"

#include <string>

#include "core/rules.h"
#include "core/text.h"

namespace stats {
namespace {

void clearOutBuffer(const CallCheckParams& params, bool masterOption) {
    if (masterOption) copyToBuffer(params.outBuffer, kOutBufferSize, {});
}

}  // namespace

int checkCall(const ContestState& state, const CallCheckParams& params, bool masterOption) {
    if (state.qsoStore.countContact(params.call, params.band, params.mode) > 0) return 0;
    if (params.call.empty()) return 1;
    if (params.continent != kMultiplierContinent) {
        clearOutBuffer(params, masterOption);
        return 2;
    }
    if (state.qsoStore.hasPrefix(params.prefix)) return 1;

    std::string hint;
    hint.reserve(kNewMultHintHead.size() + params.prefix.size() + kNewMultHintTail.size());
    hint.append(kNewMultHintHead).append(params.prefix).append(kNewMultHintTail);
    // The host's buffer holds 100 bytes: a long prefix is cut, never written past the end.
    copyToBuffer(params.hintBuffer, kHintBufferSize, hint);
    clearOutBuffer(params, masterOption);
    return 2;
}

}  // namespace stats
