// The real program started where no X display can be had.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
    bool exited = false;
    int code = -1;
    std::string stderr_text;
};

Outcome RunProgram(const char* display) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string var(*e);
        if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
            var.rfind("WAYLAND_DISPLAY=", 0) == 0)
            continue;
        env.push_back(var);
    }
    if (display) env.push_back(std::string("DISPLAY=") + display);
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);

    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    char program[] = BALLOONSTORY_PROGRAM;
    char* argv[] = {program, nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    Outcome outcome;
    if (rc != 0) {
        close(pipe_fds[0]);
        return outcome;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) outcome.stderr_text.append(buffer, n);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.code = outcome.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    return outcome;
}

TEST(NoDisplay, OneLineOnStandardErrorAndExitCode1) {
    const struct {
        const char* name;
        const char* display;
    } cases[] = {
        {"DISPLAY unset", nullptr},
        {"DISPLAY empty", ""},
        {"no server on the display", ":64999"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunProgram(c.display);
        EXPECT_TRUE(outcome.exited) << c.name << ": ended by signal " << -outcome.code;
        EXPECT_EQ(outcome.code, 1) << c.name;
        EXPECT_NE(outcome.stderr_text.find("display"), std::string::npos) << c.name << ": " << outcome.stderr_text;
        ASSERT_FALSE(outcome.stderr_text.empty()) << c.name;
        EXPECT_EQ(outcome.stderr_text.find('\n'), outcome.stderr_text.size() - 1)
            << c.name << ": " << outcome.stderr_text;
    }
}

}  // namespace
