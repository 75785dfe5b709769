#include "session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "xclient.h"

namespace e2e {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(15);

// Xvfb writes the display number it chose, followed by a newline, once it listens.
std::string ReadDisplayNumber(int fd) {
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) throw std::runtime_error("Xvfb did not report a display");
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n <= 0) throw std::runtime_error("Xvfb ended before reporting a display");
        if (c == '\n') return number;
        number += c;
    }
}

bool WindowManagerReady(Display* display) {
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool ready = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format,
                                    &count, &after, &data) == Success &&
                 type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return ready;
}

// openbox announces itself before its startup is over, and a window mapped in that
// gap may stay unmanaged until some later event wakes it. So it counts as ready only
// once it has managed a probe window; each further probe is such a wake-up.
bool WaitUntilManaging(Display* display, Child& window_manager) {
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (!WindowManagerReady(display)) {
        if (std::chrono::steady_clock::now() >= deadline || !window_manager.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<Window> probes;
    bool managed = false;
    while (!managed && std::chrono::steady_clock::now() < deadline && window_manager.Running()) {
        Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        probes.push_back(probe);
        XMapWindow(display, probe);
        XSync(display, False);
        for (int i = 0; i < 10 && !managed; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (Window p : probes) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display, p, &attributes) && attributes.map_state == IsViewable) {
                    managed = true;
                }
            }
        }
    }
    for (Window p : probes) XDestroyWindow(display, p);
    XSync(display, False);
    return managed;
}

// A sanitizer's report may be all that tells why a program stopped answering, so it goes
// to the test's own output, which the test runner shows with the failure.
void ShowSanitizerReports(const std::filesystem::path& dir) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        if (entry.path().extension() != ".stderr") continue;
        const std::string text = ReadFile(entry.path());
        if (text.find("Sanitizer") == std::string::npos && text.find("runtime error:") == std::string::npos) continue;
        std::cerr << "== standard error of " << entry.path().stem().string() << ":\n" << text << std::flush;
    }
}

}  // namespace

Session::Session(const SessionOptions& options) : dir_(test_support::MakeTempDir("balloonstory-x")) {
    try {
        std::filesystem::create_directories(home());
        std::filesystem::create_directories(runtime_dir());
        std::filesystem::permissions(runtime_dir(), std::filesystem::perms::owner_all);
        if (options.server == Server::kWestonXwayland) {
            StartWeston(options);
        } else {
            StartServer(options);
        }
        if (options.dpi > 0) SetResources("Xft.dpi:\t" + std::to_string(options.dpi) + "\n");
        if (options.window_manager && options.server == Server::kXvfb) StartWindowManager();
    } catch (...) {
        window_manager_.reset();
        server_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        throw;
    }
}

Session::~Session() {
    // Xlib ends the process on a connection whose server has gone; a server that a test
    // stopped leaves nothing to close but the socket.
    if (probe_connection_) {
        if (server_ && server_->Running()) {
            XCloseDisplay(probe_connection_);
        } else {
            close(ConnectionNumber(probe_connection_));
        }
    }
    if (window_manager_) window_manager_->Stop(SIGTERM);
    // SIGTERM lets Xvfb remove its lock file and socket.
    if (server_) server_->Stop(SIGTERM);
    ShowSanitizerReports(dir_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void Session::StopServer() {
    if (window_manager_) window_manager_->Stop(SIGKILL);
    if (server_) server_->Stop(SIGTERM);
}

void Session::StartServer(const SessionOptions& options) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    // Both ends are inherited by Xvfb, which writes to the one it is told about;
    // our copy of the write end is closed at once so that an early exit reads as EOF.
    LaunchOptions launch;
    launch.argv = {
        "/usr/bin/Xvfb",
        "-displayfd",
        std::to_string(fds[1]),
        "-screen",
        "0",
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x" + std::to_string(options.depth),
        "-nolisten",
        "tcp",
        "-noreset"};
    launch.env = {"PATH=/usr/bin:/bin"};
    launch.stderr_path = dir_ / "Xvfb.log";
    try {
        server_ = std::make_unique<Child>(launch);
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        throw;
    }
    close(fds[1]);
    try {
        display_ = ":" + ReadDisplayNumber(fds[0]);
    } catch (...) {
        close(fds[0]);
        throw;
    }
    close(fds[0]);
}

// weston chooses a free X display for its XWayland and names it in its log; XWayland
// itself starts when the first X client connects.
void Session::StartWeston(const SessionOptions& options) {
    const std::string socket = "wayland-e2e";
    const std::filesystem::path log = dir_ / "weston.log";
    LaunchOptions launch;
    launch.argv = {"/usr/bin/weston",
                   "--backend=headless-backend.so",
                   "--xwayland",
                   "--socket=" + socket,
                   "--width=" + std::to_string(options.width),
                   "--height=" + std::to_string(options.height),
                   "--idle-time=0",
                   "--log=" + log.string()};
    launch.env = {"PATH=/usr/bin:/bin", "HOME=" + home().string(), "XDG_RUNTIME_DIR=" + runtime_dir().string()};
    launch.cwd = home();
    launch.stdout_path = dir_ / "weston.out";
    launch.stderr_path = dir_ / "weston.out";
    server_ = std::make_unique<Child>(launch);

    const std::regex listening("xserver listening on display (:[0-9]+)");
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    for (;;) {
        std::smatch found;
        const std::string text = ReadFile(log);
        if (std::regex_search(text, found, listening)) {
            display_ = found[1];
            break;
        }
        if (!server_->Running() || std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("weston offered no X display: " + text + ReadFile(dir_ / "weston.out"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    wayland_display_ = socket;
}

// What `xrdb -merge` leaves on an empty server: the database as a string property of
// the root window, which toolkits read when they start.
void Session::SetResources(const std::string& resources) {
    InstallQuietXErrorHandler();
    Display* display = XOpenDisplay(display_.c_str());
    if (!display) throw std::runtime_error("cannot open display " + display_);
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
    XCloseDisplay(display);
}

void Session::StartWindowManager() {
    LaunchOptions launch;
    launch.argv = {"/usr/bin/openbox"};
    launch.env = Environment();
    launch.cwd = home();
    launch.stdout_path = dir_ / "openbox.log";
    launch.stderr_path = dir_ / "openbox.log";
    window_manager_ = std::make_unique<Child>(launch);

    InstallQuietXErrorHandler();
    Display* display = XOpenDisplay(display_.c_str());
    if (!display) throw std::runtime_error("cannot open display " + display_);
    probe_connection_ = display;
    bool ready = WaitUntilManaging(display, *window_manager_);
    if (!ready) throw std::runtime_error("openbox did not start: " + ReadFile(dir_ / "openbox.log"));
}

std::vector<std::string> Session::Environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {
        "DISPLAY=" + display_,
        "HOME=" + home().string(),
        "XDG_RUNTIME_DIR=" + runtime_dir().string(),
        "PATH=/usr/local/bin:/usr/bin:/bin",
        "LANG=C.UTF-8",
    };
    if (!wayland_display_.empty()) {
        env.push_back("WAYLAND_DISPLAY=" + wayland_display_);
        env.push_back("XDG_SESSION_TYPE=wayland");
    }
    for (const auto& entry : extra) {
        auto name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
        env.push_back(entry);
    }
    return env;
}

std::filesystem::path Session::StdoutOf(const std::filesystem::path& program) const {
    return dir_ / (program.filename().string() + ".stdout");
}

std::filesystem::path Session::StderrOf(const std::filesystem::path& program) const {
    return dir_ / (program.filename().string() + ".stderr");
}

std::unique_ptr<Child> Session::Launch(const std::filesystem::path& program, const std::filesystem::path& cwd,
                                       const std::vector<std::string>& extra_env,
                                       const std::vector<std::string>& args) const {
    LaunchOptions launch;
    launch.argv = {program.string()};
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    launch.cwd = cwd;
    launch.env = Environment(extra_env);
    launch.stdout_path = StdoutOf(program);
    launch.stderr_path = StderrOf(program);
    return std::make_unique<Child>(launch);
}

}  // namespace e2e
