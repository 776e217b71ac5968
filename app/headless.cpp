#include "app/headless.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "app/history/live_history.h"
#include "app/live_services.h"
#include "app/single_copy.h"
#include "app/terminal/panel_lines.h"
#include "app/terminal/terminal_layout.h"
#include "app/terminal/terminal_view.h"
#include "model/demo_history.h"
#include "model/run_flags.h"
#include "model/usage_model.h"
#include "platform/posix/event_loop.h"

namespace tallyvane {
namespace {

constexpr int plainWidth = 80;

// Demo data never changes: without a terminal to keep it on, the panel's text is printed once.
int printDemoPanel(const UsageModel& model, const HistorySnapshot& history) {
    std::string text;
    const PanelLines panel = panelLines(model, true, history);
    for (const std::string& line : terminalLines(panel, plainWidth, 0, false)) text += line + "\n";
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
    const ProcessEnvironment environment = thisProcess();
    auto model = UsageModel::create(liveServices(loop, environment));
    // A desktop copy taking over ends this one the way SIGTERM does.
    const auto claim = claimHeadless(model->support(), [loop] { loop->quit(); });
    if (!claim) return 0;

    // From any thread: a line of the view while it draws, standard error otherwise.
    auto drawing = std::make_shared<std::weak_ptr<TerminalView>>();
    const std::function<void(const std::string&)> report = [drawing](const std::string& message) {
        if (auto view = drawing->lock()) view->report(message);
        else if (mayWriteTo(STDERR_FILENO)) std::fprintf(stderr, "%s\n", message.c_str());
    };
    std::shared_ptr<HistoryRecorder> recorder;
    std::shared_ptr<const HistorySnapshot> history;
    if (demo) {
        history = std::make_shared<const HistorySnapshot>(demoHistory(model->now()));
    } else {
        const UserSettings settings =
            readUserSettings(userSettingsPath(environment.home, environment.value("XDG_CONFIG_HOME")));
        recorder = liveHistory(model, loop, settings, environment, report);
        history = recorder->history();
        model->onChange = [recorder] { recorder->modelChanged(); };
    }
    std::shared_ptr<TerminalView> view;
    // A live copy in the background keeps its view for when it comes to the foreground; demo
    // data, which never changes, is printed once there as without a terminal.
    if (::isatty(STDOUT_FILENO) && (!demo || inForeground(STDOUT_FILENO))) {
        view = TerminalView::create(model, history, loop, STDOUT_FILENO, demo);
        *drawing = view;
        const std::weak_ptr<TerminalView> weak = view;
        loop->onSignal(SIGWINCH, [weak] {
            if (auto alive = weak.lock()) alive->resize();
        });
        loop->onSignal(SIGCONT, [weak] {
            if (auto alive = weak.lock()) alive->continued();
        });
    }
    report(demo ? "Tallyvane : fonctionnement sans interface, données de démonstration."
                : "Tallyvane : fonctionnement sans interface, status.json reste tenu à jour.");

    model->start();
    if (demo && !view) return printDemoPanel(*model, *history);
    if (recorder) recorder->start([weak = std::weak_ptr<TerminalView>(view)] {
        if (auto alive = weak.lock()) alive->historyChanged();
    });
    loop->run();
    model->stop();
    model->finishStopping(std::chrono::seconds(2));
    if (recorder) recorder->finish(std::chrono::seconds(1));
    model->onChange = nullptr;  // the recorder and its store close with this function
    return 0;
}

}  // namespace tallyvane
