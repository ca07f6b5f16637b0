#include "base/platform.hpp"

#include <cmath>

void platform_format_fixed(char *out, size_t size, int decimals, double value) {
    if (std::isnan(value)) std::snprintf(out, size, "%s", std::signbit(value) ? "-nan" : "nan");
    else std::snprintf(out, size, "%.*f", decimals, value);
}

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <fcntl.h>
#include <io.h>

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

std::FILE *platform_stdin_binary() {
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
}

void platform_binary_output() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

static HANDLE handle_of(std::FILE *file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

bool platform_can_seek(std::FILE *file) { return GetFileType(handle_of(file)) == FILE_TYPE_DISK; }

// A file's identity through a handle opened for no access at all.
static bool identify(const char *path, BY_HANDLE_FILE_INFORMATION *info) {
    if (std::strcmp(path, "-") == 0) return GetFileInformationByHandle(handle_of(stdin), info) != 0;
    wchar_t *wide = platform_widen(path);
    HANDLE h = wide ? CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                    : INVALID_HANDLE_VALUE;
    heap_free(wide);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return known;
}

bool platform_same_file(const char *path, const char *input) {
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    return identify(path, &a) && identify(input, &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool platform_is_directory(const char *path) {
    wchar_t *wide = platform_widen(path);
    const DWORD attributes = wide ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    heap_free(wide);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool platform_replace(const char *from, const char *to) {
    wchar_t *wide_from = platform_widen(from);
    wchar_t *wide_to = platform_widen(to);
    const bool moved = wide_from && wide_to &&
                       MoveFileExW(wide_from, wide_to, MOVEFILE_REPLACE_EXISTING) != 0;
    heap_free(wide_from);
    heap_free(wide_to);
    return moved;
}

void platform_remove(const char *path) {
    wchar_t *wide = platform_widen(path);
    if (wide) _wremove(wide);
    heap_free(wide);
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

bool platform_read_at(std::FILE *file, int64_t offset, void *into, size_t bytes) {
    return platform_seek(file, offset, SEEK_SET) && std::fread(into, 1, bytes, file) == bytes;
}

void platform_widen_pipe(std::FILE *) {}
bool platform_thread_start(PlatformThread *, void (*)(void *), void *) { return false; }
void platform_thread_join(PlatformThread *) {}
#else
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
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

bool platform_is_directory(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE *platform_fopen(const char *path, const char *mode) { return std::fopen(path, mode); }

bool platform_replace(const char *from, const char *to) { return std::rename(from, to) == 0; }

void platform_remove(const char *path) { std::remove(path); }

std::FILE *platform_stdin_binary() { return stdin; }

bool platform_can_seek(std::FILE *file) {
    struct stat st;
    return fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
}

bool platform_same_file(const char *path, const char *input) {
    struct stat a;
    struct stat b;
    const int got = std::strcmp(input, "-") == 0 ? fstat(STDIN_FILENO, &b) : stat(input, &b);
    return stat(path, &a) == 0 && got == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void platform_widen_pipe(std::FILE *file) {
#ifdef F_SETPIPE_SZ
    fcntl(fileno(file), F_SETPIPE_SZ, 1 << 20); // the most an unprivileged process may ask for
#else
    (void)file;
#endif
}

// off_t is 64 bits everywhere the build defines _FILE_OFFSET_BITS=64.
static_assert(sizeof(off_t) == 8, "64-bit file offsets");
bool platform_seek(std::FILE *file, int64_t offset, int whence) {
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}
int64_t platform_tell(std::FILE *file) { return static_cast<int64_t>(ftello(file)); }

bool platform_read_at(std::FILE *file, int64_t offset, void *into, size_t bytes) {
    auto *to = static_cast<unsigned char *>(into);
    for (size_t done = 0; done < bytes;) {
        const ssize_t got = pread(fileno(file), to + done, bytes - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got <= 0) return false; // the end, or an error
        done += static_cast<size_t>(got);
    }
    return true;
}

static_assert(sizeof(pthread_t) <= sizeof(uint64_t), "a thread's id fits its record");
static void *thread_body(void *thread) {
    const auto *t = static_cast<PlatformThread *>(thread);
    t->run(t->argument);
    return nullptr;
}
bool platform_thread_start(PlatformThread *thread, void (*run)(void *), void *argument) {
    thread->run = run;
    thread->argument = argument;
    pthread_t id;
    if (pthread_create(&id, nullptr, thread_body, thread) != 0) return false;
    std::memcpy(&thread->id, &id, sizeof id);
    return true;
}
void platform_thread_join(PlatformThread *thread) {
    pthread_t id;
    std::memcpy(&id, &thread->id, sizeof id);
    pthread_join(id, nullptr);
}

#endif
