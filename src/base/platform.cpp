#include "base/platform.hpp"

#include <limits>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <sys/stat.h>
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

static bool is_regular_file(const char *path) {
    wchar_t *wide = platform_widen(path);
    struct _stat64 st;
    const bool regular = wide && _wstat64(wide, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
    heap_free(wide);
    return regular;
}

bool platform_trim(std::FILE *file, uint64_t length) {
    return length <= INT64_MAX && _chsize_s(_fileno(file), static_cast<__int64>(length)) == 0;
}

uint64_t platform_large_page_bytes() { return 0; }
void platform_prefer_large_pages(void *, uint64_t) {}
#else
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

static bool is_regular_file(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool platform_trim(std::FILE *file, uint64_t length) {
    return length <= static_cast<uint64_t>(std::numeric_limits<off_t>::max()) &&
           ftruncate(fileno(file), static_cast<off_t>(length)) == 0;
}
#endif

std::FILE *platform_fopen_rewrite(const char *path, bool *rewrite) {
    // Devices and pipes are written as they come: only a regular file can be
    // cut afterwards.
    std::FILE *file = is_regular_file(path) ? platform_fopen(path, "r+b") : nullptr;
    *rewrite = file != nullptr;
    return file ? file : platform_fopen(path, "wb");
}
