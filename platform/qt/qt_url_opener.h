#pragma once
// Opens web addresses and local paths with the desktop's default handler.
#include "platform/url_opener.h"

namespace tallyvane {

class QtUrlOpener final : public UrlOpener {
public:
    bool open(const std::string& urlOrPath) override;
};

}  // namespace tallyvane
