#include "model/open_codex.h"

#include "model/discovery.h"
#include "model/run_flags.h"

namespace tallyvane {

bool openCodex(const std::string& home, const FileSystem& files, UrlOpener& opener) {
    if (isDemo()) return false;
    for (const auto& bundle : codexBundles(home))
        for (const auto& layout : codexLayouts())
            if (files.isExecutable(joinPath(bundle, layout))) return opener.open(bundle);
    return opener.open(codexDocumentationUrl);
}

}  // namespace tallyvane
