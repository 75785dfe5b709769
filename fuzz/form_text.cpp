// Form descriptions, from text to components: the reader, the class registry and the
// property tables, on the program's own form class (its handlers and fields), on Qt's
// offscreen platform. The form is created hidden and destroyed for every input.
#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/exception.h"
#include "shell/unit1.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TForm1 form;
    try {
        form.ReadDescription(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const platform::Exception&) {
    }
    return 0;
}
