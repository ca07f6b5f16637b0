#include "report_failing_heap.hpp"

#include <cstdlib>

#include "base/heap.hpp"

namespace {
int64_t grants_left = -1;
int64_t requests = 0;

bool grant() {
    ++requests;
    if (grants_left < 0) return true;
    if (grants_left == 0) return false;
    --grants_left;
    return true;
}
} // namespace

void failing_heap_arm(int64_t grants) {
    grants_left = grants;
    requests = 0;
}

int64_t failing_heap_requests() { return requests; }

void *heap_alloc(size_t size) {
    if (size == 0 || !grant()) return nullptr;
    return std::malloc(size);
}

void *heap_realloc(void *block, size_t size) {
    if (size == 0 || !grant()) return nullptr;
    return std::realloc(block, size);
}

void heap_free(void *block) { std::free(block); }
