#include "program.h"

#include <stdexcept>

namespace e2e {

RunningProgram::RunningProgram(const Session& session, XClient& x, const ProgramOptions& options)
    : session_(session), program_(options.program) {
    launched_at_ = x.ServerTime();
    child_ = session.Launch(options.program, options.cwd, options.extra_env);
    auto window = x.WaitForClient(child_->pid(), options.window_timeout, options.is_main_window);
    if (!window) {
        throw std::runtime_error(program_.filename().string() + " showed no window; stderr: " + Stderr());
    }
    window_ = *window;
    titles_ = std::make_unique<TitleObserver>(session.display(), window_);
}

std::string RunningProgram::Stderr() const { return ReadFile(session_.StderrOf(program_)); }

void CopyTree(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::create_directories(to);
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

ProgramOptions SampleStory(const std::filesystem::path& program, const std::filesystem::path& sample,
                           const std::filesystem::path& work) {
    CopyTree(sample, work);
    ProgramOptions options;
    options.program = program;
    options.cwd = work;
    return options;
}

}  // namespace e2e
