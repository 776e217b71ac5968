#pragma once
// "Ouvrir Codex": the Codex application when a bundle carries its executable, else the CLI's documentation page.
#include <string>

#include "platform/file_system.h"
#include "platform/url_opener.h"

namespace tallyvane {

inline constexpr const char* codexDocumentationUrl = "https://developers.openai.com/codex/cli";

// Does nothing in demo mode. Returns whether the desktop accepted what was handed to it.
bool openCodex(const std::string& home, const FileSystem& files, UrlOpener& opener);

}  // namespace tallyvane
