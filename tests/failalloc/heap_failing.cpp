// The product's allocation seam with failures on request, for the
// failure-injection build only.
//   TONESIFT_FAIL_AT=N      the N-th allocation (1-based) fails; 0 or unset: none
//   TONESIFT_FAIL_FROM=1    ... and every allocation after it fails too
//   TONESIFT_ALLOC_REPORT=F at exit, write "CALLS LARGEST_BYTES LIVE_BLOCKS" to F
#include <cstdio>
#include <cstdlib>

#include "base/heap.hpp"

namespace {

unsigned long g_fail_at, g_calls;
bool g_fail_from;
size_t g_largest;
long g_live; // blocks not yet released

// Read before main, so a run that allocates nothing still reports.
const bool g_ready = [] {
    const char *at = std::getenv("TONESIFT_FAIL_AT"), *from = std::getenv("TONESIFT_FAIL_FROM");
    g_fail_at = at ? std::strtoul(at, nullptr, 10) : 0;
    g_fail_from = from && from[0] == '1';
    return std::atexit([] {
               const char *report = std::getenv("TONESIFT_ALLOC_REPORT");
               if (FILE *f = report ? std::fopen(report, "w") : nullptr) {
                   std::fprintf(f, "%lu %zu %ld\n", g_calls, g_largest, g_live);
                   std::fclose(f);
               }
           }) == 0;
}();

bool should_fail(size_t size) {
    const unsigned long n = ++g_calls;
    if (size > g_largest) g_largest = size;
    return g_fail_at != 0 && (g_fail_from ? n >= g_fail_at : n == g_fail_at);
}

} // namespace

void *heap_alloc(size_t size) {
    void *p = size == 0 || should_fail(size) ? nullptr : std::malloc(size);
    g_live += p != nullptr;
    return p;
}

void *heap_realloc(void *block, size_t size) {
    void *p = size == 0 || should_fail(size) ? nullptr : std::realloc(block, size);
    g_live += p && !block;
    return p;
}

void heap_free(void *block) {
    g_live -= block != nullptr;
    std::free(block);
}
