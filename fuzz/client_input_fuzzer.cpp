// Untrusted bytes from the Codex child through everything that reads them: line framing, JSON
// decoding, the model's handling (matching ids, applying answers, status.json) and the rate-limit
// parser, and the terminal view's layout of what the model holds. The first input byte picks the setting: bit 0 set, the handshake is already answered
// (ids 11 and 12 pending) else only `initialize` (id 1) is; the other bits pick the read size.
// Each input gets a fresh model, so every finding replays alone.
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string_view>

#include "app/terminal/panel_lines.h"
#include "app/terminal/terminal_layout.h"
#include "model/line_decoder.h"
#include "model/line_splitter.h"
#include "model/quota_window.h"
#include "model/safe_text.h"
#include "tests/support/fakes.h"

namespace {

using tallyvane::Json;

void check(bool holds) {
    if (!holds) __builtin_trap();
}

void checkWindows(const Json& payload) {
    for (const auto& window : tallyvane::quotaWindows(payload)) check(window.used >= 0 && window.used <= 100);
}

// What any reader of the pieces may rely on, whatever the bytes.
void checkPieces(std::string_view bytes) {
    tallyvane::LineSplitter splitter;
    splitter.append(bytes, [](std::string_view line) {
        auto object = tallyvane::decodeObjectLine(line);
        if (!object) return;
        check(object->is_object());
        checkWindows(*object);
        for (const char* member : {"result", "params"})
            if (auto it = object->find(member); it != object->end()) checkWindows(*it);
    });
    check(splitter.buffered() <= tallyvane::LineSplitter::maxUnterminated);
}

// On a terminal, the only escape sequences are the view's own colours, every line fits the
// screen and the view no more rows than it was given.
void checkTerminal(const tallyvane::UsageModel& model) {
    static const std::regex colours("\x1b\\[(0|1|2|38;5;[0-9]+)m");
    const auto panel = tallyvane::panelLines(model, false, {});
    for (const auto& [width, rows] : {std::pair{12, 3}, {59, 7}, {79, 23}}) {
        const auto lines = tallyvane::terminalLines(panel, width, rows, true);
        check(static_cast<int>(lines.size()) <= rows);
        for (const std::string& line : lines) {
            const std::string plain = std::regex_replace(line, colours, "");
            check(tallyvane::displayWidth(line) <= width && tallyvane::safeText(plain) == plain);
        }
    }
}

void checkModel(const tallyvane::testing::ModelRig& rig) {
    const auto& model = *rig.model;
    int quota = 0, tokens = 0;
    for (const auto& [id, request] : model.pending()) {
        check(id == 1 ? request.kind == "initialize" : (id >= 11 && id <= model.serial()));
        quota += request.kind == "quota";
        tokens += request.kind == "tokens";
    }
    check(quota <= 1 && tokens <= 1);
    for (const auto& window : model.windows()) check(window.used >= 0 && window.used <= 100);
    for (const auto& [path, contents] : rig.files->writes) check(Json::parse(contents, nullptr, false).is_object());
    checkTerminal(model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool handshakeDone = (data[0] & 1) != 0;
    const std::size_t readSize = 1 + (data[0] >> 1);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    checkPieces(bytes);

    tallyvane::testing::ModelRig rig;
    if (handshakeDone)
        rig.startReady();
    else
        rig.model->start();
    for (std::size_t at = 0; at < bytes.size() && rig.model->hasProcess(); at += readSize) {
        rig.child().print(bytes.substr(at, readSize));
        rig.loop->drain();
        checkModel(rig);
        rig.files->writes.clear();
    }
    // Whatever state the bytes left behind, the next cycle and a time-out still behave.
    rig.model->refresh();
    rig.clock->advance(std::chrono::seconds(41));
    rig.model->refresh();
    if (rig.model->hasProcess()) rig.child().exit();
    rig.loop->drain();
    checkModel(rig);
    return 0;
}
