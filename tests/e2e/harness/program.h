// A program under test, started in a session and watched: its process, its main
// window once the window manager manages it, and the record of its title changes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "session.h"
#include "title_observer.h"
#include "xclient.h"

namespace e2e {

struct ProgramOptions {
    std::filesystem::path program;
    std::filesystem::path cwd;
    std::vector<std::string> extra_env;
    // Which of the program's managed windows is its main window (the first when empty).
    std::function<bool(const ClientInfo&)> is_main_window;
    std::chrono::milliseconds window_timeout{15000};
};

class RunningProgram {
public:
    // Starts the program and waits for its main window; throws when none appears.
    RunningProgram(const Session& session, XClient& x, const ProgramOptions& options);

    Child& child() { return *child_; }
    WindowId window() const { return window_; }
    TitleObserver& titles() { return *titles_; }
    // The X server's clock just before the program was started.
    unsigned long launched_at() const { return launched_at_; }
    // What the program wrote to standard error so far.
    std::string Stderr() const;

private:
    const Session& session_;
    std::filesystem::path program_;
    unsigned long launched_at_ = 0;
    std::unique_ptr<Child> child_;
    WindowId window_ = 0;
    std::unique_ptr<TitleObserver> titles_;
};

// Copies a directory tree (for instance sample/) into `to`, which is created.
void CopyTree(const std::filesystem::path& from, const std::filesystem::path& to);

// Copies the sample story (the folder that holds "[]") into `work` and gives the options
// that start `program` there.
ProgramOptions SampleStory(const std::filesystem::path& program, const std::filesystem::path& sample,
                           const std::filesystem::path& work);

}  // namespace e2e
