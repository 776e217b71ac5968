#pragma once
// The content of the quota panel: header, one row per quota window, token counts, status line
// and actions, all drawn from the usage model and the history. It keeps no data of its own besides
// which chart is open (one at a time: a quota row's or the tokens'), and draws nothing behind its
// content, so the panel's translucent backdrop shows through.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QColor>
#include <QPointer>
#include <QWidget>

#include "model/observers.h"
#include "platform/history_store.h"

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace tallyvane {

class FooterBar;
class HeaderSection;
class QuotaRow;
class StatusLine;
class TokenSection;
class UsageModel;
struct QuotaWindow;

class QuotaView final : public QWidget {
    Q_OBJECT

public:
    // `quit` and `openCodex` run when their footer buttons are clicked; the model is only
    // observed, and asked to refresh by the refresh button. `history` gives the forecasts.
    QuotaView(std::shared_ptr<UsageModel> model, std::shared_ptr<const HistorySnapshot> history,
              std::function<void()> quit, std::function<void()> openCodex, QWidget* parent = nullptr);
    ~QuotaView() override;

    // The colour of a quota bar for a consumed percentage, in this view's light or dark palette.
    QColor tint(double percentage) const;
    // The history gained what it holds from the file.
    void historyChanged() { scheduleRedraw(); }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleRedraw();
    void redraw();
    void displayRows(const std::vector<QuotaWindow>& windows);
    void orderFocus();
    void toggleWindowChart(const std::string& windowId);
    void toggleTokenChart();
    void applyStyle();
    void fitContent();

    std::shared_ptr<UsageModel> model_;
    std::shared_ptr<const HistorySnapshot> history_;
    WillChangeSignal::Token observation_;
    bool redrawQueued_ = false;
    bool styleStale_ = false;
    qreal styledRatio_ = 0;  // the device pixel ratio the symbols were drawn for
    std::optional<std::string> openWindow_;  // the window whose chart is open
    bool tokenChartOpen_ = false;
    QPointer<QWidget> reveal_;  // a chart just opened, scrolled into view once the column has its new height

    QScrollArea* scroll_;
    QVBoxLayout* column_;
    HeaderSection* header_;
    QLabel* connecting_;
    std::vector<QuotaRow*> rows_;  // in column order
    QWidget* account_;
    QLabel* accountLine_;
    QWidget* limitBlock_;
    QLabel* limitIcon_;
    QLabel* limitText_;
    QWidget* error_;
    QLabel* errorIcon_;
    QLabel* errorText_;
    TokenSection* tokens_;
    StatusLine* status_;
    FooterBar* footer_;
};

}  // namespace tallyvane
