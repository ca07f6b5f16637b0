// Heap memory for the whole product: the malloc family behind one seam, and
// a tiny owner that frees on every way out.
//
//   HeapArray<double> levels;
//   if (!levels.allocate(n)) return false;   // out of memory: nothing held
//   levels[0] = 1.0;                          // freed when `levels` goes out of scope
//
// Nothing here throws. Every allocation of the product goes through
// heap_alloc / heap_realloc, so a test build can make any one of them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

// Returns null when the memory can't be had (or when size is 0).
void *heap_alloc(size_t size);
// Returns null on failure and leaves `block` valid and owned by the caller.
void *heap_realloc(void *block, size_t size);
// Accepts null.
void heap_free(void *block);

// Makes `*block` hold at least `required` bytes, growing `*capacity` from 0
// to 256 and then by doubling. False when that size can't be represented or
// had; `*block` and `*capacity` are then as they were.
bool heap_reserve_bytes(void **block, uint64_t *capacity, uint64_t required);
template <typename T> bool heap_reserve(T **block, uint64_t *capacity, uint64_t required) {
    if (*capacity >= required) return true; // the common case stays inline
    void *p = *block;
    if (!heap_reserve_bytes(&p, capacity, required)) return false;
    *block = static_cast<T *>(p);
    return true;
}

// Largest element count whose byte size still fits in size_t.
template <typename T> constexpr uint64_t heap_max_count() { return SIZE_MAX / sizeof(T); }

// Owns an array of trivially copyable T allocated with heap_alloc. Counts and
// indices are 64-bit on every platform; a count whose bytes do not fit in
// this platform's size_t is refused like exhausted memory.
template <typename T> struct HeapArray {
    T *data = nullptr;
    uint64_t count = 0;

    HeapArray() = default;
    HeapArray(const HeapArray &) = delete;
    HeapArray &operator=(const HeapArray &) = delete;
    ~HeapArray() { reset(); }

    // Replaces any previous block. False (and empty) when the size overflows or
    // memory runs out. A count of 0 still allocates one element, so an empty
    // array is distinguishable from a failed one.
    bool allocate(uint64_t n) {
        reset();
        if (n > heap_max_count<T>()) return false;
        void *p = heap_alloc(static_cast<size_t>(n ? n : 1) * sizeof(T));
        if (!p) return false;
        data = static_cast<T *>(p);
        count = n;
        return true;
    }
    void reset() {
        heap_free(data);
        data = nullptr;
        count = 0;
    }
    // Hands the block to the caller, who frees it with heap_free.
    T *release() {
        count = 0;
        return std::exchange(data, nullptr);
    }
    T &operator[](uint64_t i) { return data[i]; }
    const T &operator[](uint64_t i) const { return data[i]; }
};

// One block for a run's large working arrays. The first touch of each fresh
// small page costs more than the arithmetic done on it, so a large block is
// placed on large-page boundaries and the system is asked to back it with
// large pages; where it has none, this is a plain block.
struct HeapSlab {
    void *block = nullptr;          // as allocated
    unsigned char *start = nullptr; // `size` usable bytes from here, 64-byte aligned
    uint64_t size = 0;

    HeapSlab() = default;
    HeapSlab(const HeapSlab &) = delete;
    HeapSlab &operator=(const HeapSlab &) = delete;
    ~HeapSlab() { reset(); }

    // Replaces any previous block. False (and empty) when the size overflows
    // or memory runs out.
    bool allocate(uint64_t bytes);
    void reset();
};
