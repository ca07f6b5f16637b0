#include "base/platform.hpp"

#include <cmath>

const char *platform_nan_text(double value) { return std::signbit(value) ? "-nan" : "nan"; }

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "base/heap.hpp"

wchar_t *platform_widen(const char *text) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    auto *wide = static_cast<wchar_t *>(heap_alloc(static_cast<size_t>(n) * sizeof(wchar_t)));
    if (wide && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, n) != n) {
        heap_free(wide);
        return nullptr;
    }
    return wide;
}

char *platform_narrow(const wchar_t *text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return nullptr;
    auto *narrow = static_cast<char *>(heap_alloc(static_cast<size_t>(n)));
    if (narrow && WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, n, nullptr, nullptr) != n) {
        heap_free(narrow);
        return nullptr;
    }
    return narrow;
}

std::FILE *platform_fopen(const char *path, const char *mode) {
    wchar_t *wide_path = platform_widen(path);
    wchar_t *wide_mode = platform_widen(mode);
    std::FILE *f = wide_path && wide_mode ? _wfopen(wide_path, wide_mode) : nullptr;
    heap_free(wide_path);
    heap_free(wide_mode);
    return f;
}

bool platform_seek(std::FILE *file, int64_t offset, int whence) {
    return _fseeki64(file, offset, whence) == 0;
}
int64_t platform_tell(std::FILE *file) { return _ftelli64(file); }

uint64_t platform_large_page_bytes() { return 0; }
void platform_prefer_large_pages(void *, uint64_t) {}
#else
#include <sys/mman.h>
#include <sys/types.h>

#ifdef MADV_HUGEPAGE
// Transparent huge pages: 2 MiB where the base page is 4 KiB.
uint64_t platform_large_page_bytes() { return 2u << 20; }
void platform_prefer_large_pages(void *start, uint64_t bytes) {
    madvise(start, static_cast<size_t>(bytes), MADV_HUGEPAGE); // a refusal leaves small pages
}
#else
uint64_t platform_large_page_bytes() { return 0; }
void platform_prefer_large_pages(void *, uint64_t) {}
#endif

std::FILE *platform_fopen(const char *path, const char *mode) { return std::fopen(path, mode); }

// off_t is 64 bits everywhere the build defines _FILE_OFFSET_BITS=64.
static_assert(sizeof(off_t) == 8, "64-bit file offsets");
bool platform_seek(std::FILE *file, int64_t offset, int whence) {
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}
int64_t platform_tell(std::FILE *file) { return static_cast<int64_t>(ftello(file)); }

#endif
