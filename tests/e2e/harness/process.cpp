#include "process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

std::vector<char*> CStrings(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const auto& s : strings) out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

// Between fork and exec only async-signal-safe calls: report errno through the pipe.
[[noreturn]] void FailInChild(int report_fd) {
    int err = errno;
    [[maybe_unused]] auto n = write(report_fd, &err, sizeof err);
    _exit(127);
}

void RedirectInChild(const std::filesystem::path& path, int target, int report_fd) {
    const char* name = path.empty() ? "/dev/null" : path.c_str();
    int flags = target == STDIN_FILENO ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
    int fd = open(name, flags, 0644);
    if (fd < 0 || dup2(fd, target) < 0) FailInChild(report_fd);
    close(fd);
}

}  // namespace

Child::Child(const LaunchOptions& options) {
    if (options.argv.empty()) throw std::invalid_argument("Child: empty argv");
    auto argv = CStrings(options.argv);
    auto envp = CStrings(options.env);
    const pid_t parent = getpid();

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    started_ = std::chrono::steady_clock::now();
    pid_ = fork();
    if (pid_ < 0) {
        close(report[0]);
        close(report[1]);
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        close(report[0]);
        // Dies with the test process, so no X server or program is left behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        setpgid(0, 0);
        RedirectInChild({}, STDIN_FILENO, report[1]);
        RedirectInChild(options.stdout_path, STDOUT_FILENO, report[1]);
        RedirectInChild(options.stderr_path, STDERR_FILENO, report[1]);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) FailInChild(report[1]);
        execve(argv[0], argv.data(), envp.data());
        FailInChild(report[1]);
    }
    close(report[1]);
    int err = 0;
    ssize_t n;
    do {
        n = read(report[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n > 0) {
        Reap(0);
        throw std::runtime_error("cannot start " + options.argv[0] + " in " + options.cwd.string() + ": " +
                                 std::strerror(err));
    }
}

Child::~Child() {
    if (!exit_) Stop(SIGKILL);
}

bool Child::Reap(int flags) {
    if (exit_) return true;
    int status = 0;
    rusage usage{};
    pid_t r;
    do {
        r = wait4(pid_, &status, flags, &usage);
    } while (r < 0 && errno == EINTR);
    if (r != pid_) return false;
    ExitStatus e;
    if (WIFEXITED(status)) e.code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) e.signal = WTERMSIG(status);
    e.max_rss_kib = usage.ru_maxrss;
    exit_ = e;
    return true;
}

std::optional<ExitStatus> Child::WaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exit_;
}

bool Child::Running() { return !Reap(WNOHANG); }

ExitStatus Child::Stop(int signal, std::chrono::milliseconds grace) {
    if (!Reap(WNOHANG)) {
        kill(pid_, signal);
        if (!WaitExit(grace)) {
            kill(pid_, SIGKILL);
            Reap(0);
        }
    }
    return *exit_;
}

double CpuSeconds(pid_t pid) {
    const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    // Fields after the command name, which may hold spaces: utime and stime are 14 and 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace e2e
