// Temporary directories for tests: fresh under $TMPDIR (or /tmp), never shared between runs.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace test_support {

// Creates the directory; the caller removes it.
inline std::filesystem::path MakeTempDir(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a directory like " + pattern);
    return pattern;
}

// A directory removed with its contents at the end of its scope.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "balloonstory-test") : path_(MakeTempDir(prefix)) {}
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace test_support
