#pragma once
// Headless mode on a terminal: the panel drawn as text and redrawn in place after every change of
// the model, so that the last state stays in the scrollback. Notices that would otherwise go to
// standard error are shown as lines of the view. It draws only while the program is the
// terminal's foreground job, so that a copy sent to the background leaves the shell alone.
// Lives on the main loop's thread.
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "model/observers.h"
#include "platform/history_store.h"
#include "platform/main_loop.h"

namespace tallyvane {

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
    // The program went on after a stop, or was sent to the background or the foreground
    // (SIGCONT): the shell has written below the last drawing, the next one starts afresh.
    void continued();

private:
    TerminalView(std::shared_ptr<UsageModel> model, std::shared_ptr<const HistorySnapshot> history,
                 std::shared_ptr<MainLoop> loop, int fd, bool demo);
    struct Size {
        int width;
        int height;  // 0 when unknown
    };

    void scheduleDraw();
    void draw();
    void watchForeground();
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
    std::unique_ptr<Timer> foregroundWatch_;  // while in the background
    int drawnLines_ = 0;  // of the drawing right above the cursor, 0 when there is none to redraw
};

// `fd` is a terminal and this program its foreground job: writing there cannot get in the way of
// the shell, nor stop the program when `stty tostop` is set.
bool inForeground(int fd);
// Not a terminal, or one where the program is the foreground job.
bool mayWriteTo(int fd);

}  // namespace tallyvane
