#include "app/terminal/panel_lines.h"

#include "model/account_texts.h"
#include "model/forecast.h"
#include "model/panel_texts.h"
#include "model/safe_text.h"
#include "model/usage_model.h"

namespace tallyvane {

PanelLines panelLines(const UsageModel& model, bool demo, const HistorySnapshot& history) {
    PanelLines lines;
    lines.subtitle = subtitleText(demo);
    if (model.windows().empty() && !model.error()) lines.notice = connectingText;
    lines.error = model.error();
    for (const QuotaWindow& window : model.windows()) {
        WindowLines& row = lines.windows.emplace_back();
        row.name = window.name;
        row.used = window.used;
        row.usedText = usedText(window.used);
        const Forecast outlook = windowForecast(model, window, history);
        row.remainingText = remainingText(window.used, outlook.exhausted);
        row.exhaustionShown = outlook.exhausted.has_value();
        if (outlook.pace) row.markerPercent = *outlook.pace * 100;
        if (window.reset) row.resetText = resetText(*window.reset);
    }
    lines.accountLine = accountLineText(model.account());
    lines.limitBlock = limitBlockText(model.account(), model.windows());
    lines.tokenFigure = tokenFigureText(model.lastTokens());
    lines.tokenDay = safeText(tokenDayText(model.lastTokenDay()));  // a day key Codex sent, shown as it came when not a date
    lines.lifetime = lifetimeText(model.lifetime());
    lines.tokenError = model.tokenError();
    lines.reading = readingText(model.updated());
    lines.fresh = !model.error() && model.updated();
    return lines;
}

}  // namespace tallyvane
