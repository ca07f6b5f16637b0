// The product's allocation seam with failures on request, for the
// failure-injection build only.
//   TONESIFT_FAIL_AT=N      the N-th allocation (1-based) fails; 0 or unset: none
//   TONESIFT_FAIL_FROM=1    ... and every allocation after it fails too
//   TONESIFT_ALLOC_REPORT=F at exit, write "CALLS LARGEST_BYTES LIVE_BLOCKS" to F
#include <cstdio>
#include <cstdlib>

#include "base/heap.hpp"

namespace {

struct Injector {
    unsigned long fail_at = 0;
    bool fail_from = false;
    unsigned long calls = 0;
    size_t largest = 0;
    long live = 0; // blocks not yet released
    const char *report = nullptr;
};

Injector g_injector;

void write_report() {
    if (!g_injector.report) return;
    if (FILE *f = std::fopen(g_injector.report, "w")) {
        std::fprintf(f, "%lu %zu %ld\n", g_injector.calls, g_injector.largest, g_injector.live);
        std::fclose(f);
    }
}

// Read the settings before main, so a run that allocates nothing still reports.
const bool g_ready = [] {
    Injector &g = g_injector;
    const char *at = std::getenv("TONESIFT_FAIL_AT");
    const char *from = std::getenv("TONESIFT_FAIL_FROM");
    g.fail_at = at ? std::strtoul(at, nullptr, 10) : 0;
    g.fail_from = from && from[0] == '1';
    g.report = std::getenv("TONESIFT_ALLOC_REPORT");
    std::atexit(write_report);
    return true;
}();

// True when this allocation is to fail.
bool should_fail(size_t size) {
    Injector &g = g_injector;
    unsigned long n = ++g.calls;
    if (size > g.largest) g.largest = size;
    if (g.fail_at == 0) return false;
    return g.fail_from ? n >= g.fail_at : n == g.fail_at;
}

} // namespace

void *heap_alloc(size_t size) {
    if (size == 0 || should_fail(size)) return nullptr;
    void *p = std::malloc(size);
    if (p) ++g_injector.live;
    return p;
}

void *heap_realloc(void *block, size_t size) {
    if (size == 0 || should_fail(size)) return nullptr;
    void *p = std::realloc(block, size);
    if (p && !block) ++g_injector.live;
    return p;
}

void heap_free(void *block) {
    if (block) --g_injector.live;
    std::free(block);
}
