// The platform's error: raised by the platform, shown by the application's error box.
// Messages are UTF-8; the box adds the closing "." itself.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& utf8_message) : std::runtime_error(utf8_message) {}
};

}  // namespace platform
