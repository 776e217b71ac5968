#include "app/terminal/terminal_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/terminal/panel_lines.h"
#include "app/terminal/terminal_layout.h"
#include "model/safe_text.h"
#include "model/usage_model.h"
#include "platform/main_loop.h"

namespace tallyvane {
namespace {

constexpr std::size_t keptMessages = 5;
constexpr int unknownWidth = 80;

bool variableIs(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set != nullptr && std::strcmp(set, value) == 0;
}

bool variableSet(const char* name) {
    const char* set = std::getenv(name);
    return set != nullptr && *set != '\0';
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // the terminal is gone: SIGHUP follows and ends the program
        done += static_cast<std::size_t>(written);
    }
}

}  // namespace

bool inForeground(int fd) { return ::tcgetpgrp(fd) == ::getpgrp(); }  // -1 when not a terminal

bool mayWriteTo(int fd) { return !::isatty(fd) || inForeground(fd); }

std::shared_ptr<TerminalView> TerminalView::create(std::shared_ptr<UsageModel> model,
                                                   std::shared_ptr<const HistorySnapshot> history,
                                                   std::shared_ptr<MainLoop> loop, int fd, bool demo) {
    std::shared_ptr<TerminalView> view(
        new TerminalView(std::move(model), std::move(history), std::move(loop), fd, demo));
    std::weak_ptr<TerminalView> weak = view;
    // Told before each value changes: draw once the whole batch is stored, on a later turn of the loop.
    view->observation_ = view->model_->willChange().connect([weak] {
        if (auto alive = weak.lock()) alive->scheduleDraw();
    });
    view->scheduleDraw();
    return view;
}

TerminalView::TerminalView(std::shared_ptr<UsageModel> model, std::shared_ptr<const HistorySnapshot> history,
                           std::shared_ptr<MainLoop> loop, int fd, bool demo)
    : model_(std::move(model)),
      history_(std::move(history)),
      loop_(std::move(loop)),
      fd_(fd),
      demo_(demo),
      colour_(!variableIs("TERM", "dumb") && !variableSet("NO_COLOR")),
      inPlace_(!variableIs("TERM", "dumb")),
      size_(readSize()) {}

TerminalView::~TerminalView() { model_->willChange().disconnect(observation_); }

TerminalView::Size TerminalView::readSize() const {
    winsize size{};
    if (::ioctl(fd_, TIOCGWINSZ, &size) != 0) return {unknownWidth, 0};
    return {size.ws_col > 0 ? size.ws_col : unknownWidth, size.ws_row};
}

void TerminalView::report(std::string message) {
    {
        std::lock_guard lock(messagesMutex_);
        // A notice repeated moves to the end instead of filling the view.
        std::string line = safeText(message);  // one row, whatever the notice quotes
        messages_.erase(std::remove(messages_.begin(), messages_.end(), line), messages_.end());
        messages_.push_back(std::move(line));
        if (messages_.size() > keptMessages) messages_.pop_front();
    }
    std::weak_ptr<TerminalView> weak = weak_from_this();
    loop_->post([weak] {
        if (auto view = weak.lock()) view->scheduleDraw();
    });
}

void TerminalView::resize() {
    size_ = readSize();
    scheduleDraw();
}

void TerminalView::scheduleDraw() {
    if (drawQueued_) return;
    drawQueued_ = true;
    std::weak_ptr<TerminalView> weak = weak_from_this();
    loop_->post([weak] {
        if (auto view = weak.lock()) view->draw();
    });
}

void TerminalView::continued() {
    size_ = readSize();  // it may have changed while the program was stopped
    drawnLines_ = 0;
    scheduleDraw();
}

void TerminalView::watchForeground() {
    if (foregroundWatch_) return;
    std::weak_ptr<TerminalView> weak = weak_from_this();
    // `fg` sends no signal to a job that runs: look now and then while in the background.
    foregroundWatch_ = loop_->scheduleRepeating(std::chrono::seconds(1), std::chrono::milliseconds(250), [weak] {
        if (auto view = weak.lock(); view && inForeground(view->fd_)) view->scheduleDraw();
    });
}

void TerminalView::draw() {
    drawQueued_ = false;
    if (!inForeground(fd_)) {  // the shell and the user write there now, under the last drawing
        drawnLines_ = 0;
        watchForeground();
        return;
    }
    foregroundWatch_.reset();
    PanelLines panel = panelLines(*model_, demo_, *history_);
    {
        std::lock_guard lock(messagesMutex_);
        panel.messages.assign(messages_.begin(), messages_.end());
    }
    // No line reaches the last column, where terminals differ on wrapping, and one row stays free
    // so that a redraw never scrolls the top of the view away.
    const std::vector<std::string> lines =
        terminalLines(panel, size_.width - 1, std::max(size_.height - 1, 0), colour_);

    std::string frame;
    if (inPlace_ && drawnLines_ > 0) {
        // Each drawn line takes at least one row after any resize: exactly one where the screen
        // keeps its lines as they were (xterm, the console) or did not narrow, more where a
        // narrower screen wrapped them again (VTE, tmux). Going up one row per line never
        // reaches above the drawing; on the latter, rows of the old drawing may stay above.
        frame = "\r\x1b[" + std::to_string(drawnLines_) + "A\x1b[J";
    } else if (drawnLines_ > 0) {
        frame = "\n";
    }
    for (const std::string& line : lines) frame += line + "\n";
    drawnLines_ = static_cast<int>(lines.size());
    writeAll(fd_, frame);
}

}  // namespace tallyvane
