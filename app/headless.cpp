#include "app/headless.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "app/live_services.h"
#include "app/single_copy.h"
#include "app/terminal/panel_lines.h"
#include "app/terminal/terminal_layout.h"
#include "app/terminal/terminal_view.h"
#include "model/run_flags.h"
#include "model/usage_model.h"
#include "platform/posix/event_loop.h"

namespace tallyvane {
namespace {

constexpr int plainWidth = 80;

// Demo data never changes: without a terminal to keep it on, the panel's text is printed once.
int printDemoPanel(const UsageModel& model) {
    std::string text;
    for (const std::string& line : terminalLines(panelLines(model, true), plainWidth, false)) text += line + "\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        std::fputs("Tallyvane : impossible d’écrire sur la sortie standard.\n", stderr);
        return 1;
    }
    return 0;
}

}  // namespace

int runHeadless() {
    const bool demo = isDemo();
    auto loop = std::make_shared<EventLoop>();
    auto model = UsageModel::create(liveServices(loop));
    // A desktop copy taking over ends this one the way SIGTERM does.
    const auto claim = claimHeadless(model->support(), [loop] { loop->quit(); });
    if (!claim) return 0;
    std::shared_ptr<TerminalView> view;
    if (::isatty(STDOUT_FILENO)) {
        view = TerminalView::create(model, loop, STDOUT_FILENO, demo);
        loop->onSignal(SIGWINCH, [weak = std::weak_ptr<TerminalView>(view)] {
            if (auto alive = weak.lock()) alive->resize();
        });
    }
    // From any thread: a line of the view while it draws, standard error otherwise.
    const std::function<void(std::string)> report = [view](std::string message) {
        if (view) view->report(std::move(message));
        else std::fprintf(stderr, "%s\n", message.c_str());
    };
    report(demo ? "Tallyvane : fonctionnement sans interface, données de démonstration."
                : "Tallyvane : fonctionnement sans interface, status.json reste tenu à jour.");

    model->start();
    if (demo && !view) return printDemoPanel(*model);
    loop->run();
    model->stop();
    model->finishStopping(std::chrono::seconds(2));
    return 0;
}

}  // namespace tallyvane
