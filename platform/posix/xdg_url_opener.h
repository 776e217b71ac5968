#pragma once
// Opens URLs and paths with the desktop's `xdg-open`.
#include <string>

#include "platform/url_opener.h"

namespace tallyvane {

class XdgUrlOpener final : public UrlOpener {
public:
    // `command` is looked up on this process's PATH when it holds no slash.
    explicit XdgUrlOpener(std::string command = "xdg-open");

    // Starts the command in its own session with default signal handling and returns at once;
    // it is reaped in the background. False when it cannot be started.
    bool open(const std::string& urlOrPath) override;

private:
    std::string command_;
};

}  // namespace tallyvane
