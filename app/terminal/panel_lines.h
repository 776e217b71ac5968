#pragma once
// What the terminal view shows, read from the model as plain texts: the panel's content
// without its widgets. The fixed texts (title, headings, note) come from model/panel_texts.h.
#include <optional>
#include <string>
#include <vector>

#include "platform/history_store.h"

namespace tallyvane {

class UsageModel;

struct WindowLines {
    std::string name;
    double used = 0;  // 0...100: fills and tints the bar
    std::string usedText;
    std::string remainingText;  // the left text under the bar, with « épuisé vers … » when the forecast shows
    std::optional<std::string> resetText;
    std::optional<double> markerPercent;  // a mark on the bar at this percentage (a pace, say), 0...100
    bool exhaustionShown = false;         // the remaining text is a warning
};

struct PanelLines {
    std::string subtitle;
    std::optional<std::string> notice;  // « Connexion à ton compte… » until the first answer
    std::optional<std::string> error;   // about quota data or the connection
    std::vector<WindowLines> windows;
    std::optional<std::string> accountLine;  // under the windows, goes with the token section on a short screen
    std::optional<std::string> limitBlock;   // right under the account line, stays on a short screen
    std::string tokenFigure;
    std::string tokenDay;
    std::string lifetime;
    std::optional<std::string> tokenError;
    std::string reading;
    bool fresh = false;                 // a reading and no error: the status dot is green, else orange
    std::vector<std::string> messages;  // notices that would otherwise go to standard error
};

// `history` gives the forecasts and the pace marks.
PanelLines panelLines(const UsageModel& model, bool demo, const HistorySnapshot& history);

}  // namespace tallyvane
