#pragma once
// Hands a URL or a local path to the desktop's default handler.
#include <string>

namespace tallyvane {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const std::string& urlOrPath) = 0;
};

}  // namespace tallyvane
