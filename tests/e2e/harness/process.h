// A child process started with a chosen argv, current directory and environment,
// its output sent to files, reaped with its exit status and peak memory.
// The child dies with the test process (parent-death signal), so nothing outlives a test.
#pragma once

#include <sys/types.h>

#include <csignal>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct LaunchOptions {
    std::vector<std::string> argv;      // argv[0] is the program path
    std::filesystem::path cwd;          // empty: inherit
    std::vector<std::string> env;       // "NAME=value", the whole environment
    std::filesystem::path stdout_path;  // empty: /dev/null
    std::filesystem::path stderr_path;  // empty: /dev/null
};

struct ExitStatus {
    int code = -1;         // exit code, or -1 when ended by a signal
    int signal = 0;        // terminating signal, 0 when it exited
    long max_rss_kib = 0;  // peak resident set size of the child
};

class Child {
public:
    explicit Child(const LaunchOptions& options);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    std::chrono::steady_clock::time_point started() const { return started_; }

    // The exit status once the child has ended within the timeout, else nullopt
    // (the child then still runs).
    std::optional<ExitStatus> WaitExit(std::chrono::milliseconds timeout);
    bool Running();
    // Sends a signal and reaps the child, escalating to SIGKILL after the grace time.
    ExitStatus Stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

private:
    bool Reap(int flags);

    pid_t pid_ = -1;
    std::chrono::steady_clock::time_point started_;
    std::optional<ExitStatus> exit_;
};

// CPU time (user and system) a running process has used so far, in seconds.
double CpuSeconds(pid_t pid);

// Reads a whole file; empty when it does not exist.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace e2e
