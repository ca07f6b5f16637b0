#include "cli/cli.hpp"

// One entry for both programs: the build names the one it starts.
#ifndef TONESIFT_ENTRY
#define TONESIFT_ENTRY tonesift_main
#endif

#ifdef _WIN32
// Windows hands over the arguments in UTF-16: they go on as UTF-8 (file
// names are widened again to be opened).
#include <cstdio>

#include "base/heap.hpp"
#include "base/platform.hpp"

int wmain(int argc, wchar_t **wargv) {
    platform_binary_output();
    const uint64_t n = argc > 0 ? static_cast<uint64_t>(argc) : 0;
    HeapArray<char *> argv;
    uint64_t converted = 0;
    if (argv.allocate(n + 1)) {
        while (converted < n && (argv[converted] = platform_narrow(wargv[converted])) != nullptr) ++converted;
        argv[converted] = nullptr;
    }
    int status = 1;
    if (converted == n && argv.data) status = TONESIFT_ENTRY(argc, argv.data);
    else std::fputs("error: out of memory\n", stderr);
    for (uint64_t i = 0; i < converted; ++i) heap_free(argv[i]);
    return status;
}
#else
int main(int argc, char **argv) { return TONESIFT_ENTRY(argc, argv); }
#endif
