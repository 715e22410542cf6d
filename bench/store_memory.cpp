// Bytes per stored contact: the store and a plain array of CInfo holding the same records,
// counted by a global operator new. Built natively and for the Windows presets (run under Wine),
// so the 32-bit cost is measured too. Usage: store_memory [contacts]
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <malloc.h>
#define STATS_USABLE_SIZE _msize
#else
#include <malloc.h>
#define STATS_USABLE_SIZE malloc_usable_size
#endif

#include "bench/bench_log.h"
#include "core/qso_store.h"
#include "core/recorder.h"
#include "core/rules.h"

namespace {

// Live bytes as the allocator hands them out (its rounding included, its headers not).
std::size_t liveBytes = 0;
std::size_t liveBlocks = 0;

}  // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    liveBytes += STATS_USABLE_SIZE(p);
    ++liveBlocks;
    return p;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    liveBytes -= STATS_USABLE_SIZE(p);
    --liveBlocks;
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

using namespace stats;

struct Usage {
    std::size_t bytes;
    std::size_t blocks;
};

Usage now() {
    return {liveBytes, liveBlocks};
}

void report(const char* what, Usage before, Usage after, std::size_t n) {
    const double bytes = static_cast<double>(after.bytes - before.bytes) / static_cast<double>(n);
    const double blocks = static_cast<double>(after.blocks - before.blocks) / static_cast<double>(n);
    // Both heaps put 8 bytes of header before a block on 32-bit (glibc: 8 on 64-bit too).
    std::printf("%-28s %8.1f bytes/QSO  %5.2f blocks/QSO  %8.1f with 8-byte headers\n", what, bytes, blocks,
                bytes + 8 * blocks);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    std::vector<CInfo> records;
    std::size_t fieldBytes = 0;
    {
        const bench::Log log = bench::makeLog(n);
        for (const QsoParams& p : log.qsos) {
            if (acceptanceOf(p.band, p.mode, p.numberSent, p.numberReceived) != Rejection::kNone) continue;
            CInfo r = recordOf(p);
            for (const std::string* t : {&r.call, &r.band, &r.mode, &r.rstSent, &r.rstReceived,
                                         &r.numberReceived, &r.numberSent, &r.saPrefix})
                fieldBytes += t->size();
            fieldBytes +=
                sizeof r.frequencyKHz + sizeof r.isDupe + sizeof r.qsoTime.dt + sizeof r.qsoTime.status;
            records.push_back(std::move(r));
        }
    }
    const std::size_t stored = records.size();
    std::printf("%zu-bit build, %zu contacts stored, sizeof(CInfo) %zu, sizeof(std::string) %zu\n",
                sizeof(void*) * 8, stored, sizeof(CInfo), sizeof(std::string));
    std::printf("%-28s %8.1f bytes/QSO\n", "fields (texts, numbers, date)",
                static_cast<double>(fieldBytes) / static_cast<double>(stored));

    Usage before = now();
    {
        QsoStore store;
        for (const CInfo& r : records) store.append(r);
        report("QsoStore (with its indexes)", before, now(), stored);
    }
    before = now();
    {
        std::vector<CInfo> plain;
        for (const CInfo& r : records) plain.push_back(r);
        report("plain std::vector<CInfo>", before, now(), stored);
    }
    return 0;
}
