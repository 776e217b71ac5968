#include "model/codex_installs.h"

#include <string_view>

#include "model/discovery.h"
#include "model/version_order.h"

namespace tallyvane {
namespace {

// At most this many alias files are followed ("default" → "lts/*" → "lts/iron" → a version).
constexpr int aliasSteps = 4;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The variable when it holds an absolute path, else `fallback`.
std::string folderOr(const ProcessEnvironment& environment, const char* name, const std::string& fallback) {
    std::string value = environment.value(name);
    return value.starts_with('/') ? value : fallback;
}

// `prefix=` of ~/.npmrc, with "~" and "${HOME}" expanded; "" when there is none.
std::string npmrcPrefix(const std::string& home, const FileSystem& files) {
    const auto npmrc = files.readSmallFile(joinPath(home, ".npmrc"));
    if (!npmrc) return {};
    std::string_view rest = *npmrc;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != "prefix") continue;
        std::string_view value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        std::string prefix(value);
        if (prefix == "~" || prefix.starts_with("~/")) prefix.replace(0, 1, home);
        for (auto at = prefix.find("${HOME}"); at != std::string::npos; at = prefix.find("${HOME}", at + home.size()))
            prefix.replace(at, 7, home);
        return prefix;
    }
    return {};
}

void addNpm(const ProcessEnvironment& environment, const FileSystem& files, std::vector<std::string>& places) {
    std::string prefix = environment.value("NPM_CONFIG_PREFIX");
    if (prefix.empty()) prefix = environment.value("npm_config_prefix");
    if (prefix.empty()) prefix = npmrcPrefix(environment.home, files);
    if (prefix.starts_with('/')) places.push_back(joinPath(prefix, "bin/codex"));
    places.push_back(joinPath(environment.home, ".npm-global/bin/codex"));
}

// The version `alias/default` names, then every installed one, newest first. "system" leaves nvm out.
void addNvm(const std::string& nvm, const FileSystem& files, std::vector<std::string>& places) {
    const auto installed = newestFirst(files.listFolder(joinPath(nvm, "versions/node")));
    std::string alias = "default";
    for (int step = 0; step < aliasSteps; ++step) {
        const auto text = files.readSmallFile(joinPath(nvm, "alias/" + alias));
        if (!text) break;
        const std::string_view value = trimmed(std::string_view(*text).substr(0, text->find('\n')));
        if (value == "system") return;
        if (const auto version = newestMatching(installed, value)) {
            places.push_back(joinPath(nvm, "versions/node/" + *version + "/bin/codex"));
            break;
        }
        // Another alias file ("lts/*", "lts/iron"), never outside the alias folder.
        if (value.empty() || value.starts_with('/') || value.find("..") != std::string_view::npos) break;
        alias = value;
    }
    for (const auto& version : installed) places.push_back(joinPath(nvm, "versions/node/" + version + "/bin/codex"));
}

void addFnm(const std::string& fnm, const FileSystem& files, std::vector<std::string>& places) {
    places.push_back(joinPath(fnm, "aliases/default/bin/codex"));
    for (const auto& version : newestFirst(files.listFolder(joinPath(fnm, "node-versions"))))
        places.push_back(joinPath(fnm, "node-versions/" + version + "/installation/bin/codex"));
}

// `folder/<version>/bin/codex`, newest first.
void addVersions(const std::string& folder, const FileSystem& files, std::vector<std::string>& places) {
    for (const auto& version : newestFirst(files.listFolder(folder)))
        places.push_back(joinPath(folder, version + "/bin/codex"));
}

}  // namespace

std::vector<std::string> installerPlaces(const ProcessEnvironment& environment, const FileSystem& files) {
    const std::string& home = environment.home;
    std::vector<std::string> places;
    addNpm(environment, files, places);
    addNvm(folderOr(environment, "NVM_DIR", joinPath(home, ".nvm")), files, places);
    if (const std::string fnm = folderOr(environment, "FNM_DIR", ""); !fnm.empty()) {
        addFnm(fnm, files, places);
    } else {
        addFnm(joinPath(home, ".local/share/fnm"), files, places);
        addFnm(joinPath(home, ".fnm"), files, places);
    }
    places.push_back(joinPath(folderOr(environment, "VOLTA_HOME", joinPath(home, ".volta")), "bin/codex"));
    addVersions(joinPath(folderOr(environment, "ASDF_DATA_DIR", joinPath(home, ".asdf")), "installs/nodejs"), files, places);
    addVersions(joinPath(home, ".local/share/mise/installs/node"), files, places);
    places.push_back(joinPath(folderOr(environment, "PNPM_HOME", joinPath(home, ".local/share/pnpm")), "codex"));
    places.push_back(joinPath(folderOr(environment, "BUN_INSTALL", joinPath(home, ".bun")), "bin/codex"));
    places.push_back("/home/linuxbrew/.linuxbrew/bin/codex");
    places.push_back(joinPath(home, ".linuxbrew/bin/codex"));
    places.push_back(joinPath(home, ".cargo/bin/codex"));
    return places;
}

}  // namespace tallyvane
