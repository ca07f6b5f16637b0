// Runs a program with arguments and captures stdout, stderr and exit status.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    std::string out;
    std::string err;
    int status = -1;   // exit status; -1 when it did not exit normally
    int signal = 0;    // terminating signal, if any
};

// argv[0] is the program path. `env` entries ("NAME=value") are added to the
// inherited environment.
ProcessResult run_process(const std::vector<std::string> &argv,
                          const std::vector<std::string> &env = {});

// As run_process, with `cwd` as the child's working directory ("" keeps ours).
ProcessResult run_process_in(const std::string &cwd, const std::vector<std::string> &argv,
                             const std::vector<std::string> &env = {});

// Runs the built tonesift binary with the given arguments.
ProcessResult run_tonesift(const std::vector<std::string> &args,
                           const std::vector<std::string> &env = {});

// Runs the built binary inside `cwd`, for outputs that echo a relative path.
ProcessResult run_tonesift_in(const std::string &cwd, const std::vector<std::string> &args,
                              const std::vector<std::string> &env = {});

std::string read_file_text(const std::string &path);
bool file_exists(const std::string &path);
