#pragma once
// Headless mode on a terminal: the panel drawn as text and redrawn in place after every change of
// the model, so that the last state stays in the scrollback. Notices that would otherwise go to
// standard error are shown as lines of the view. Lives on the main loop's thread.
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/observers.h"
#include "platform/history_store.h"

namespace tallyvane {

class MainLoop;
class UsageModel;

class TerminalView : public std::enable_shared_from_this<TerminalView> {
public:
    // Draws on the terminal `fd`. Coloured unless TERM is "dumb" or NO_COLOR is set; a dumb
    // terminal cannot move its cursor, so there each drawing follows the previous one instead.
    // `history` gives the forecasts and pace marks; it is read at each drawing.
    static std::shared_ptr<TerminalView> create(std::shared_ptr<UsageModel> model,
                                                std::shared_ptr<const HistorySnapshot> history,
                                                std::shared_ptr<MainLoop> loop, int fd, bool demo);
    ~TerminalView();
    TerminalView(const TerminalView&) = delete;
    TerminalView& operator=(const TerminalView&) = delete;

    // From any thread: shown at the bottom of the view from its next drawing on.
    void report(std::string message);
    // The terminal's size changed (SIGWINCH): lays the view out again at its new width.
    void resize();
    // The history gained what it holds from the file.
    void historyChanged() { scheduleDraw(); }

private:
    TerminalView(std::shared_ptr<UsageModel> model, std::shared_ptr<const HistorySnapshot> history,
                 std::shared_ptr<MainLoop> loop, int fd, bool demo);
    struct Size {
        int width;
        int height;  // 0 when unknown
    };

    void scheduleDraw();
    void draw();
    Size readSize() const;

    std::shared_ptr<UsageModel> model_;
    std::shared_ptr<const HistorySnapshot> history_;
    std::shared_ptr<MainLoop> loop_;
    int fd_;
    bool demo_;
    bool colour_;
    bool inPlace_;
    Size size_;
    WillChangeSignal::Token observation_ = 0;
    bool drawQueued_ = false;
    std::mutex messagesMutex_;
    std::deque<std::string> messages_;  // the latest few, oldest first
    std::vector<int> drawnWidths_;  // of the lines on screen, to find how many rows they take now
};

}  // namespace tallyvane
