#include "support/capture_stdout.hpp"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "support/run_process.hpp"

std::string capture_stdout(const std::function<void()> &fn) {
    char tmpl[] = "/tmp/tonesift-capture-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) std::abort();
    std::fflush(stdout);
    int saved = dup(1);
    if (saved < 0 || dup2(fd, 1) < 0) std::abort();
    fn();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(fd);
    std::string text = read_file_text(tmpl);
    unlink(tmpl);
    return text;
}
