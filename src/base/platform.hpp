// Where the platforms differ, in one place. On Windows the narrow C library
// reads file names in the ANSI code page and standard output turns "\n" into
// "\r\n"; there the program's text travels as UTF-8, names are widened only
// to open a file, and the standard streams are binary.
#pragma once

#include <cstdint>
#include <cstdio>

// Marks a printf-like function for the compiler's format checks. On mingw the
// plain "printf" archetype means the Microsoft conversions, while the program
// is built for the standard ones (__USE_MINGW_ANSI_STDIO).
#ifdef __MINGW32__
#define PRINTF_LIKE(format_index, first_arg) __attribute__((format(gnu_printf, format_index, first_arg)))
#else
#define PRINTF_LIKE(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#endif

// printf's "%.<decimals>f" of `value`, cut to `size` as snprintf cuts, but
// a NaN spelled as glibc spells it, everywhere ("-nan" when its sign bit is
// set, else "nan"): each C library spells it as it likes. Up to 6 decimals
// of any double fit in PLATFORM_FIXED_TEXT bytes.
constexpr size_t PLATFORM_FIXED_TEXT = 320;
void platform_format_fixed(char *out, size_t size, int decimals, double value);

// fopen of a UTF-8 path; null when the file can't be opened (on Windows also
// when the path can't be converted).
std::FILE *platform_fopen(const char *path, const char *mode);

// True when `path` names a directory.
bool platform_is_directory(const char *path);

// Moves file `from` to `to`, replacing what is there in one step; false
// (errno set) when it can't. Remove: deletes a file, if it can.
bool platform_replace(const char *from, const char *to);
void platform_remove(const char *path);

// Standard input, made binary where that is not the default.
std::FILE *platform_stdin_binary();
// True for a regular file (on Windows a disk file), which can seek; a pipe,
// a FIFO, a terminal or a device can't. Decided by the type, not by trying:
// on Windows a seek on a pipe is undefined.
bool platform_can_seek(std::FILE *file);
// True when `path` names the file that `input` names ("-": standard input),
// under any name: device and inode on POSIX, volume and file index on
// Windows.
bool platform_same_file(const char *path, const char *input);

// fseek and ftell with 64-bit offsets on every platform, so that a file past
// 2 GiB is walked where `long` has 32 bits. Seek: false on failure; tell: -1.
bool platform_seek(std::FILE *file, int64_t offset, int whence);
int64_t platform_tell(std::FILE *file);

// Reads `bytes` from `offset` of a file that can seek, leaving its position
// alone where the platform can, so that two threads may read one file at
// once; false unless all of them came. Windows runs one thread: there it is
// a seek and a read.
bool platform_read_at(std::FILE *file, int64_t offset, void *into, size_t bytes);

// A second thread where the platform offers one (not on Windows: the program
// runs on one there). Start: false when none was started, and the caller does
// the work itself. Join waits for it to end.
struct PlatformThread {
    void (*run)(void *) = nullptr;
    void *argument = nullptr;
    uint64_t id = 0;
};
bool platform_thread_start(PlatformThread *thread, void (*run)(void *), void *argument);
void platform_thread_join(PlatformThread *thread);

// Asks for a larger buffer in the pipe that `file` reads, where the system
// lets one be set, so that a writer goes on while the reader computes.
// Only a hint: a refusal leaves the pipe as it was.
void platform_widen_pipe(std::FILE *file);

// The size of the large pages a block can ask for with
// platform_prefer_large_pages; 0 where the system offers none that way.
uint64_t platform_large_page_bytes();
// Asks that the whole large pages within [start, start + bytes) be backed
// by large pages on first touch. Only a hint: the contents stay as they are.
void platform_prefer_large_pages(void *start, uint64_t bytes);

#ifdef _WIN32
// Makes standard output and error binary.
void platform_binary_output();
// A heap block (release with heap_free) holding the UTF-16 form of a UTF-8
// text, or the UTF-8 form of a UTF-16 one; null when memory runs out or the
// text can't be converted.
wchar_t *platform_widen(const char *text);
char *platform_narrow(const wchar_t *text);
#endif
