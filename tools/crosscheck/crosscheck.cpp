#include "tools/crosscheck/crosscheck.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "tools/crosscheck/inference.h"
#include "tools/crosscheck/match_stages.h"

namespace crosscheck {

bool isReconciliation(Verdict verdict) {
    return verdict == Verdict::kDupe || verdict == Verdict::kOutOfBand || verdict == Verdict::kOutOfMode ||
           verdict == Verdict::kNoNumber || verdict == Verdict::kOutOfPeriod;
}

bool oneEditApart(std::string_view a, std::string_view b) {
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > 1) return false;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i]) ++i;
    if (a.size() == b.size()) return i < a.size() && a.substr(i + 1) == b.substr(i + 1);
    return a.substr(i) == b.substr(i + 1);
}

namespace {

std::string_view withoutLeadingZeros(std::string_view s) {
    while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
    return s;
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint64_t digitsValue(std::string_view digits) {
    std::uint64_t v = 0;
    for (const char c : digits) v = v * 10 + static_cast<std::uint64_t>(c - '0');
    return v;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool sameNumber(std::string_view a, std::string_view b) {
    if (allDigits(a) && allDigits(b)) {
        // Numbers of up to 18 digits compare as numbers (the matching compares millions of them).
        if (a.size() <= 18 && b.size() <= 18) return digitsValue(a) == digitsValue(b);
        return withoutLeadingZeros(a) == withoutLeadingZeros(b);
    }
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upper(x) == upper(y);
           });
}

long serialNumber(std::string_view s) {
    if (!allDigits(s) || s.size() > 9) return -1;
    long v = 0;
    for (const char c : s) v = v * 10 + (c - '0');
    return v;
}

void forEachIndex(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto loop = [&] {
        try {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> threads;
    const std::size_t extra = std::min<std::size_t>(workers > 1 ? workers - 1 : 0, count > 1 ? count - 1 : 0);
    for (std::size_t t = 0; t < extra; ++t) threads.emplace_back(loop);
    loop();
    for (auto& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

CheckResult crossCheck(const std::vector<StationLog>& logs, const CheckOptions& options) {
    if (!options.contest) throw std::invalid_argument("crossCheck: no contest given");
    using namespace match;
    Matching m(logs, options, *options.contest);
    const std::size_t n = logs.size();
    const auto each = [&](auto&& stage) { forEachIndex(n, options.workers, [&](std::size_t a) { stage(m, a); }); };
    each([](Matching& s, std::size_t a) {
        reconcile(s, a);
        indexGroups(s, a);
    });
    each([](Matching& s, std::size_t a) { findMirrors(s, a, true); });
    gatherExactMatches(m);
    solveClockOffsets(m);
    preparePeriod(m);
    each(checkPeriod);
    if (m.resorted) {
        for (LogRecord& r : m.records) std::fill(r.mirror.begin(), r.mirror.end(), Span{});
        each([](Matching& s, std::size_t a) { findMirrors(s, a, false); });
    }
    countWorkedCalls(m);
    findNearCalls(m);
    for (auto pass : {pairDirect, pairTimeMismatch, pairBandOrMode, pairOffBand, pairBusted,
                      pairBustedBySerials, verdicts})
        each(pass);
    if (!options.dupesByOrder) each(dupesAfterMatching);
    // The inference reads each QSO's corrected time; the records' other parts are done with.
    std::vector<std::vector<std::int64_t>> times(n);
    for (std::size_t a = 0; a < n; ++a) times[a] = std::move(m.records[a].time);
    m.records = {};
    inferVerdicts(logs, times, options, m.result);
    return std::move(m.result);
}

}  // namespace crosscheck
