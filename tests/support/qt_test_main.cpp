// Test entry for code that needs Qt: an offscreen QApplication and our application
// object, whose error box is replaced by a test failure.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/forms/application.h"
#include "platform/music/mmsystem.h"
#include "temp_dir.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A private runtime directory when none is given, removed again at the end:
    // every test process runs this, so a leftover would pile up in /tmp.
    std::optional<test_support::TempDir> own_runtime_dir;
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        own_runtime_dir.emplace("balloonstory-runtime");
        setenv("XDG_RUNTIME_DIR", own_runtime_dir->path().c_str(), 1);
    }
    int result = 0;
    {
        QApplication qt(argc, argv);
        platform::TApplication application(argv[0]);
        application.OnException = [](const std::string& message) { ADD_FAILURE() << "error box: " << message; };
        result = RUN_ALL_TESTS();
    }
    // Music a test started would otherwise live on until static destruction and
    // could still be writing its sound server's files into the directory.
    platform::mciSendStringA("close all", nullptr, 0, nullptr);
    return result;
}
