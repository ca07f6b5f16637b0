#include "support/run_process.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

std::string read_file_text(const std::string &path) {
    std::string s;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

// An entry of `env` replaces an inherited variable of the same name, so that a
// locale override is not shadowed by an earlier inherited entry.
static bool overridden(const std::string &entry, const std::vector<std::string> &env) {
    std::string name = entry.substr(0, entry.find('='));
    for (const auto &e : env)
        if (e.substr(0, e.find('=')) == name) return true;
    return false;
}

ProcessResult run_process(const std::vector<std::string> &argv,
                          const std::vector<std::string> &env) {
    return run_process_in("", argv, env);
}

ProcessResult run_process_in(const std::string &cwd, const std::vector<std::string> &argv,
                             const std::vector<std::string> &env) {
    ProcessResult r;
    char out_tmpl[] = "/tmp/tonesift-out-XXXXXX";
    char err_tmpl[] = "/tmp/tonesift-err-XXXXXX";
    int out_fd = mkstemp(out_tmpl);
    int err_fd = mkstemp(err_tmpl);
    if (out_fd < 0 || err_fd < 0) std::abort();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env_store;
    for (char **e = environ; *e; ++e)
        if (!overridden(*e, env)) env_store.emplace_back(*e);
    for (const auto &e : env) env_store.push_back(e);
    std::vector<char *> envp;
    for (auto &e : env_store) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out_fd);
    close(err_fd);
    if (rc == 0) {
        int st = 0;
        while (waitpid(pid, &st, 0) < 0) {
        }
        if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
        if (WIFSIGNALED(st)) r.signal = WTERMSIG(st);
    }
    r.out = read_file_text(out_tmpl);
    r.err = read_file_text(err_tmpl);
    unlink(out_tmpl);
    unlink(err_tmpl);
    return r;
}

ProcessResult run_tonesift(const std::vector<std::string> &args,
                           const std::vector<std::string> &env) {
    return run_tonesift_in("", args, env);
}

ProcessResult run_tonesift_in(const std::string &cwd, const std::vector<std::string> &args,
                              const std::vector<std::string> &env) {
    std::vector<std::string> argv{TONESIFT_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process_in(cwd, argv, env);
}

bool file_exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}
