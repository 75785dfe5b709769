// A private X session for one test: Xvfb on a free display, the openbox window
// manager, and a private HOME and XDG_RUNTIME_DIR in a fresh temporary directory.
// Everything is torn down by the destructor, whatever happened in between.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "process.h"
#include "temp_dir.h"

struct _XDisplay;

namespace e2e {

enum class Server {
    kXvfb,            // with openbox unless told otherwise
    kWestonXwayland,  // weston's headless backend, its XWayland and its window manager
};

struct SessionOptions {
    Server server = Server::kXvfb;
    int width = 1024;
    int height = 768;
    int depth = 24;  // 8 gives a palette (PseudoColor) screen; Xvfb only
    // Xft.dpi in the server's resource database, as a desktop sets it for a dense
    // screen (192 for twice the usual density); 0 leaves the database empty.
    int dpi = 0;
    bool window_manager = true;  // Xvfb only
};

class Session {
public:
    explicit Session(const SessionOptions& options = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const std::string& display() const { return display_; }    // ":N"
    const std::filesystem::path& dir() const { return dir_; }  // private temporary directory
    std::filesystem::path home() const { return dir_ / "home"; }
    std::filesystem::path runtime_dir() const { return dir_ / "runtime"; }

    // The environment a program in this session gets: DISPLAY, HOME, XDG_RUNTIME_DIR,
    // PATH, a UTF-8 locale, and under weston WAYLAND_DISPLAY and XDG_SESSION_TYPE as a
    // Wayland desktop sets them; `extra` entries ("NAME=value") are added or override.
    std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;

    // Starts a program on this display, its output in dir()/<name>.stdout|.stderr.
    std::unique_ptr<Child> Launch(const std::filesystem::path& program, const std::filesystem::path& cwd,
                                  const std::vector<std::string>& extra_env = {},
                                  const std::vector<std::string>& args = {}) const;
    std::filesystem::path StdoutOf(const std::filesystem::path& program) const;
    std::filesystem::path StderrOf(const std::filesystem::path& program) const;

    // Ends the X server now, as when the desktop session ends under its programs: their
    // connections break. Close every XClient of the test first.
    void StopServer();

private:
    void StartServer(const SessionOptions& options);
    void StartWeston(const SessionOptions& options);
    void SetResources(const std::string& resources);
    void StartWindowManager();

    std::filesystem::path dir_;
    std::string display_;
    std::string wayland_display_;  // empty without weston
    std::unique_ptr<Child> server_;
    std::unique_ptr<Child> window_manager_;
    // The connection that probed the window manager stays open for the session: once it
    // closes, a later client may get its window ids while openbox, lagging under load,
    // still acts on the probes it knew under those ids (moves, resizes, unmaps them).
    _XDisplay* probe_connection_ = nullptr;
};

using test_support::TempDir;

}  // namespace e2e
