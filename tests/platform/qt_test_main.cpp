// Test entry for code that needs Qt: an offscreen QApplication and our application
// object, whose error box is replaced by a test failure.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "platform/application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        static char dir[] = "/tmp/balloonstory-test-XXXXXX";
        if (mkdtemp(dir)) setenv("XDG_RUNTIME_DIR", dir, 1);
    }
    QApplication qt(argc, argv);
    platform::TApplication application(argv[0]);
    application.OnException = [](const std::string& message) { ADD_FAILURE() << "error box: " << message; };
    return RUN_ALL_TESTS();
}
