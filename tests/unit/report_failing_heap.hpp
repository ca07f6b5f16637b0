// A heap that fails on demand, for the out-of-memory paths of the report.
// This test binary's own definitions of heap_alloc / heap_realloc / heap_free
// take the place of the product's, so every allocation of the product code
// under test passes through here.
//
//   FailingHeap guard(3);   // the 4th allocation from now fails, and every one after
//   ... call the code ...   // disarmed again when `guard` leaves scope
#pragma once

#include <cstdint>

// Allocations still granted before the failures start; negative: never fail.
void failing_heap_arm(int64_t grants_left);
// Allocations (alloc and realloc) requested since the last arm.
int64_t failing_heap_requests();

struct FailingHeap {
    explicit FailingHeap(int64_t grants_left) { failing_heap_arm(grants_left); }
    ~FailingHeap() { failing_heap_arm(-1); }
    FailingHeap(const FailingHeap &) = delete;
    FailingHeap &operator=(const FailingHeap &) = delete;
};
