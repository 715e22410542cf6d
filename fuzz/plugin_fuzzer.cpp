// Drives the exports with a sequence of calls decoded from the input, against a plug-in object
// built on fakes with a scratch work folder, and checks after every call that nothing was lost:
// the store equals a plain model of the log, the summary agrees with the store, the host's
// buffers are written only where allowed and always terminated, the files end in whole lines.

#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "plugin/plugin.h"
#include "fake_services.h"
#include "fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

stats::Plugin* gPlugin = nullptr;

// A text of the host: usually one of a few meaningful words so that contacts match, otherwise
// any bytes of any length; sometimes a null pointer.
struct HostText {
    std::optional<std::string> value;
    const char* get() const { return value ? value->c_str() : nullptr; }
    std::string_view view() const { return value ? std::string_view(*value) : std::string_view(); }
};

HostText pickText(FuzzedDataProvider& in, std::initializer_list<const char*> usual) {
    const int kind = in.ConsumeIntegralInRange(0, 9);
    if (kind == 0) return {};
    if (kind <= 6 && usual.size() > 0) {
        const auto i = in.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1);
        return {std::string(*(usual.begin() + i))};
    }
    std::string s = in.ConsumeRandomLengthString(kind == 9 ? 4000 : 40);
    // The host passes C texts: whatever follows a NUL is not part of it.
    s.resize(std::strlen(s.c_str()));
    return {s};
}

std::optional<stats::OleDateTime> pickDate(FuzzedDataProvider& in) {
    const int kind = in.ConsumeIntegralInRange(0, 7);
    if (kind == 0) return std::nullopt;
    stats::OleDateTime d;
    switch (kind) {
        case 1: d.dt = std::numeric_limits<double>::quiet_NaN(); break;
        case 2: d.dt = in.ConsumeBool() ? std::numeric_limits<double>::infinity()
                                        : -std::numeric_limits<double>::infinity(); break;
        case 3: d.dt = in.ConsumeBool() ? 1e300 : -1e300; break;
        case 4: d.dt = in.ConsumeFloatingPoint<double>(); break;
        default: d.dt = in.ConsumeFloatingPointInRange<double>(-700000.0, 3000000.0); break;
    }
    d.status = in.ConsumeBool() ? in.ConsumeIntegral<std::int32_t>() : in.ConsumeIntegralInRange(0, 2);
    return d;
}

struct ModelQso {
    std::string call, band, mode, numberSent, numberReceived, rstSent, rstReceived, saPrefix;
    std::uint32_t khz;
};

bool accepted(std::string_view band, std::string_view mode, std::string_view ns, std::string_view nr) {
    return (band == "40m" || band == "20m") && (mode == "CW" || mode == "SSB") && !ns.empty() && !nr.empty();
}

bool validExchange(std::string_view t) {
    if (t == "599" || t.empty() || t.size() > 3) return false;
    for (char c : t)
        if (c < '0' || c > '9') return false;
    return true;
}

const std::initializer_list<const char*> kCalls = {"CE3ABC", "LU1AA", "W1AW", "", "ce3abc", "PY2XX"};
const std::initializer_list<const char*> kBands = {"40m", "20m", "80m", "40M", ""};
const std::initializer_list<const char*> kModes = {"CW", "SSB", "FT8", "cw", ""};
const std::initializer_list<const char*> kNumbers = {"001", "599", "12", ""};
const std::initializer_list<const char*> kPrefixes = {"CE3", "LU1", "PY2", ""};
const std::initializer_list<const char*> kContinents = {"SA", "NA", "sa", ""};

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Every record of the store equals the model's, and every dupe flag says whether an earlier
// record has the same call, band and mode.
void checkStore(const stats::Plugin& plugin, const std::vector<ModelQso>& model) {
    const auto& store = plugin.state().qsoStore;
    FUZZ_CHECK(store.size() == model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        const stats::CInfo& r = store.at(i);
        const ModelQso& m = model[i];
        FUZZ_CHECK(r.call == m.call && r.band == m.band && r.mode == m.mode);
        FUZZ_CHECK(r.numberSent == m.numberSent && r.numberReceived == m.numberReceived);
        FUZZ_CHECK(r.rstSent == m.rstSent && r.rstReceived == m.rstReceived);
        FUZZ_CHECK(r.saPrefix == m.saPrefix && r.frequencyKHz == m.khz);
        bool earlier = false;
        for (std::size_t j = 0; j < i && !earlier; ++j)
            earlier = model[j].call == m.call && model[j].band == m.band && model[j].mode == m.mode;
        FUZZ_CHECK(r.isDupe == (earlier ? 1 : 0));
    }
}

// The total row of the summary against a count over the store.
void checkSummary(const stats::Plugin& plugin, const char* text) {
    FUZZ_CHECK(text != nullptr);
    const std::string_view s(text);
    FUZZ_CHECK(endsWith(s, "\r\n"));
    const auto at = s.rfind("\r\nTotal\t ");
    FUZZ_CHECK(at != std::string_view::npos);
    int qsos = -1, points = -1, prefixes = -1, cw = -1, ssb = -1, p2 = -1, m2 = -1, score = -1;
    FUZZ_CHECK(std::sscanf(text + at, "\r\nTotal\t %d\t %d\t %d\t %d\t %d\r\n\r\nScore: %d*%d = %d", &qsos, &points,
                           &prefixes, &cw, &ssb, &p2, &m2, &score) == 8);
    const auto& state = plugin.state();
    int expectQsos = 0, expectCw = 0, expectSsb = 0;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < state.qsoStore.size(); ++i) {
        const auto& r = state.qsoStore.at(i);
        if (r.call.empty() || r.isDupe != 0) continue;
        ++expectQsos;
        expectCw += r.mode == "CW";
        expectSsb += r.mode == "SSB";
        if (!r.saPrefix.empty()) seen.insert(r.saPrefix);
    }
    FUZZ_CHECK(qsos == expectQsos && points == expectQsos && cw == expectCw && ssb == expectSsb);
    FUZZ_CHECK(cw + ssb == qsos);
    FUZZ_CHECK(prefixes == static_cast<int>(seen.size()));
    FUZZ_CHECK(p2 == points && m2 == prefixes && score == points * prefixes);
    FUZZ_CHECK(plugin.claimedScore() == score);
    FUZZ_CHECK(state.workedSaPrefixes.size() == seen.size());
    FUZZ_CHECK(std::set<std::string>(state.workedSaPrefixes.begin(), state.workedSaPrefixes.end()) == seen);
}

}  // namespace

namespace stats {
Plugin& processPlugin() { return *gPlugin; }
}  // namespace stats

// The longest file name the file system takes (NAME_MAX).
constexpr std::size_t kMaxFileNameBytes = 255;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path workRoot = [] {
        auto p = fs::temp_directory_path() / ("stats-plugin-fuzz-" + std::to_string(::getpid()));
        // The scratch folder goes when the fuzzer ends (a finding leaves it for a look).
        std::atexit([] { std::error_code ec; fs::remove_all(fs::temp_directory_path() / ("stats-plugin-fuzz-" + std::to_string(::getpid())), ec); });
        fs::create_directories(p);
        return p;
    }();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(workRoot, ec)) fs::remove_all(e.path(), ec);

    FuzzedDataProvider in(data, size);
    stats::fakes::InMemorySettings settings;
    stats::fakes::RecordingMessageBox messages;
    stats::fakes::RecordingWindowThread windows;
    windows.panel = in.ConsumeBool();
    stats::ConfirmingHeaderDialog dialog;
    stats::PortableHostFiles hostFiles(workRoot);
    auto plugin = std::make_unique<stats::Plugin>(
        stats::PluginServices{settings, messages, windows, dialog, hostFiles, workRoot});
    gPlugin = plugin.get();
    plugin->setMasterOption(in.ConsumeBool());

    std::vector<ModelQso> model;
    bool exportOn = false;
    std::string cbrName;
    std::size_t errLogSize = 0;
    const fs::path errPath = workRoot / "err.txt";
    int calls = 0;

    while (in.remaining_bytes() > 0 && ++calls < 200) {
        const int op = in.ConsumeIntegralInRange(0, 7);
        if (op <= 2) {  // AddData0 (twice as often) or RemoveData0
            const HostText own = pickText(in, {"CE1TLV", ""});
            const HostText call = pickText(in, kCalls);
            const auto date = pickDate(in);
            const std::uint32_t hz = in.ConsumeIntegral<std::uint32_t>();
            const HostText mode = pickText(in, kModes);
            const HostText rstS = pickText(in, {"599", "59"});
            const HostText rstR = pickText(in, {"599", "59"});
            const HostText ns = pickText(in, kNumbers);
            const HostText nr = pickText(in, kNumbers);
            const HostText pfx = pickText(in, kPrefixes);
            const HostText cont = pickText(in, kContinents);
            const HostText band = pickText(in, kBands);
            const stats::OleDateTime* dp = date ? &*date : nullptr;
            if (op < 2) {
                const int r = AddData0(own.get(), call.get(), dp, nullptr, nullptr, nullptr, 0, hz, mode.get(),
                                       rstS.get(), rstR.get(), ns.get(), nr.get(), nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, pfx.get(), nullptr, 0, 0, 0,
                                       0.0, 0.0, nullptr, cont.get(), nullptr, band.get(), nullptr);
                const bool ok = accepted(band.view(), mode.view(), ns.view(), nr.view());
                FUZZ_CHECK(r == (ok ? 1 : 0));
                std::size_t earlier = 0;
                if (ok) {
                    for (const auto& m : model)
                        earlier += m.call == call.view() && m.band == band.view() && m.mode == mode.view();
                    model.push_back({std::string(call.view()), std::string(band.view()), std::string(mode.view()),
                                     std::string(ns.view()), std::string(nr.view()), std::string(rstS.view()),
                                     std::string(rstR.view()),
                                     cont.view() == "SA" ? std::string(pfx.view()) : std::string(), hz / 1000});
                }
                // A rejection writes one line, a dupe one per earlier contact; each ends in CR LF.
                const std::size_t lines = ok ? earlier : 1;
                const std::string err = readFile(errPath);
                if (lines > 0) {
                    FUZZ_CHECK(err.size() > errLogSize + lines * std::strlen("QSO:  0\r\n"));
                    FUZZ_CHECK(endsWith(err, "\r\n"));
                } else {
                    FUZZ_CHECK(err.size() == errLogSize);
                }
                errLogSize = err.size();
            } else {
                const int r = RemoveData0(own.get(), call.get(), dp, nullptr, nullptr, nullptr, 0, hz, mode.get(),
                                          rstS.get(), rstR.get(), ns.get(), nr.get(), nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, pfx.get(), nullptr, 0, 0, 0,
                                          0.0, 0.0, nullptr, cont.get(), nullptr, band.get(), nullptr);
                const bool numbers = !ns.view().empty() && !nr.view().empty();
                FUZZ_CHECK(r == (numbers ? 1 : 0));
                if (numbers) {
                    std::optional<std::size_t> victim;
                    for (std::size_t i = 0; i < model.size(); ++i) {
                        const auto& m = model[i];
                        if (m.call != call.view() || m.band != band.view() || m.mode != mode.view()) continue;
                        if (!victim) victim = i;
                        if (m.numberSent == ns.view() && m.numberReceived == nr.view()) {
                            victim = i;
                            break;
                        }
                    }
                    if (victim) model.erase(model.begin() + static_cast<std::ptrdiff_t>(*victim));
                }
                FUZZ_CHECK(readFile(errPath).size() == errLogSize);
            }
            checkStore(*plugin, model);
        } else if (op == 3) {  // ResetStats0, in export mode or not
            const int exportRequest = in.ConsumeBool() ? in.ConsumeIntegral<int>() : 0;
            const HostText own = pickText(in, {"CE1TLV", "ce1tlv/p", " ", "CON", ""});
            const auto start = pickDate(in);
            const auto end = pickDate(in);
            const HostText country = pickText(in, {"UA", "UA9", "CE", ""});
            FUZZ_CHECK(ResetStats0(nullptr, exportRequest, own.get(), start ? &*start : nullptr,
                                   end ? &*end : nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, country.get(), 0, 0, 0, 0.0, 0.0, nullptr, nullptr,
                                   nullptr) == 1);
            model.clear();
            checkStore(*plugin, model);
            exportOn = exportRequest != 0;
            cbrName = plugin->cabrilloLog().fileBaseName + ".cbr";
            const std::string err = readFile(errPath);
            FUZZ_CHECK(err == "SA TOLVEN TEST UBN file \r\n");
            errLogSize = err.size();
        } else if (op == 4) {  // CheckCall0 with guarded buffers
            const HostText call = pickText(in, kCalls);
            const HostText mode = pickText(in, kModes);
            const HostText pfx = pickText(in, kPrefixes);
            const HostText cont = pickText(in, kContinents);
            const HostText band = pickText(in, kBands);
            constexpr std::size_t kGuard = 16;
            std::uint8_t out[50 + kGuard], hint[100 + kGuard];
            const std::uint8_t fill = in.ConsumeIntegral<std::uint8_t>();
            std::memset(out, fill, sizeof out);
            std::memset(hint, fill ^ 0x5a, sizeof hint);
            const bool outNull = in.ConsumeBool();
            const int r = CheckCall0(call.get(), 0, 0, mode.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, pfx.get(), nullptr, 0, 0, 0, 0.0, 0.0, nullptr,
                                     cont.get(), nullptr, nullptr, nullptr, band.get(), nullptr,
                                     outNull ? nullptr : reinterpret_cast<char*>(out),
                                     reinterpret_cast<char*>(hint));
            bool dupe = false, prefixWorked = false;
            for (const auto& m : model) {
                dupe |= m.call == call.view() && m.band == band.view() && m.mode == mode.view();
                prefixWorked |= m.saPrefix == pfx.view();
            }
            const int expect = dupe ? 0 : call.view().empty() ? 1 : cont.view() != "SA" ? 2 : prefixWorked ? 1 : 2;
            FUZZ_CHECK(r == expect);
            for (std::size_t i = 50; i < sizeof out; ++i) FUZZ_CHECK(out[i] == fill);
            for (std::size_t i = 100; i < sizeof hint; ++i) FUZZ_CHECK(hint[i] == (fill ^ 0x5a));
            const bool outCleared = r == 2 && plugin->masterOption() && !outNull;
            if (outCleared) FUZZ_CHECK(out[0] == 0);
            else
                for (std::size_t i = 0; i < 50; ++i) FUZZ_CHECK(out[i] == fill);
            const bool hinted = r == 2 && cont.view() == "SA";
            if (hinted) {
                FUZZ_CHECK(std::memchr(hint, 0, 100) != nullptr);
                FUZZ_CHECK(std::strncmp(reinterpret_cast<char*>(hint), "New mult !!! ", 13) == 0);
            } else {
                for (std::size_t i = 0; i < 100; ++i) FUZZ_CHECK(hint[i] == (fill ^ 0x5a));
            }
            if (windows.panel) FUZZ_CHECK(windows.arms > 0);
        } else if (op == 5) {  // GetResult0, which writes the Cabrillo file in export mode
            const std::size_t before = messages.shown.size();
            int status = 7;
            const char* text = GetResult0(in.ConsumeBool() ? &status : nullptr);
            checkSummary(*plugin, text);
            if (exportOn) {
                FUZZ_CHECK(messages.shown.size() == before + 1);
                // A name longer than the file system allows cannot be created: the operator is told so.
                if (cbrName.size() > kMaxFileNameBytes) {
                    FUZZ_CHECK(messages.shown.back().text == "The Cabrillo file could not be written: " + cbrName);
                } else {
                    FUZZ_CHECK(messages.shown.back().text == "File produced: " + cbrName);
                    const std::string cbr = readFile(workRoot / cbrName);
                    FUZZ_CHECK(cbr.rfind("START-OF-LOG: 3.0\r\n", 0) == 0 && endsWith(cbr, "\r\nEND-OF-LOG:\r\n"));
                }
                FUZZ_CHECK(plugin->cabrilloLog().qsoLines.size() == model.size());
            } else {
                FUZZ_CHECK(messages.shown.size() == before);
            }
        } else if (op == 6) {  // IsValidExchg0 and the constant exports
            const HostText t = pickText(in, {"599", "001", "59", "1234", ""});
            FUZZ_CHECK(IsValidExchg0(t.get(), nullptr, nullptr, nullptr, 0, 0, 0) == (validExchange(t.view()) ? 1 : 0));
            FUZZ_CHECK(GetExchgCount0(nullptr, nullptr, nullptr) == 1);
            const int n = in.ConsumeIntegral<int>();
            FUZZ_CHECK(std::strcmp(GetSetName(n), n == 0 ? "SA-TOLVEN CW/SSB (C)" : "") == 0);
        } else {  // the panel's option flips while the host works
            plugin->setMasterOption(in.ConsumeBool());
            windows.panel = in.ConsumeBool();
        }
    }
    gPlugin = nullptr;
    return 0;
}
