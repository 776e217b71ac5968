#include "app/desktop_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

namespace tallyvane {
namespace {

constexpr const char* moduleName = "tallyvane-desktop.so";

std::string programDirectory() {
    std::array<char, 4096> path{};
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return {};
    std::string program(path.data(), static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

}  // namespace

std::optional<int> runDesktopModule(int argc, char** argv) {
    const std::string directory = programDirectory();
    // Beside the program in a build tree; in lib/tallyvane once installed.
    for (const std::string& path : {directory + "/" + moduleName, directory + "/../lib/tallyvane/" + moduleName}) {
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) continue;
        auto problem = reinterpret_cast<const char* (*)()>(::dlsym(module, "tallyvane_display_problem"));
        auto entry = reinterpret_cast<int (*)(int, char**)>(::dlsym(module, "tallyvane_desktop_main"));
        if (problem == nullptr || entry == nullptr) break;
        if (const char* reason = problem()) {
            std::fprintf(stderr, "Tallyvane : %s\n", reason);
            return std::nullopt;
        }
        return entry(argc, argv);
    }
    const char* reason = ::dlerror();
    std::fprintf(stderr, "Tallyvane : l’interface de bureau n’a pas pu être chargée (%s).\n",
                 reason != nullptr ? reason : moduleName);
    return std::nullopt;
}

}  // namespace tallyvane
