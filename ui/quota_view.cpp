#include "ui/quota_view.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "model/account_texts.h"
#include "model/forecast.h"
#include "model/panel_texts.h"
#include "model/run_flags.h"
#include "model/usage_model.h"
#include "ui/chart_data.h"
#include "ui/footer_bar.h"
#include "ui/header_section.h"
#include "ui/plain_label.h"
#include "ui/quota_row.h"
#include "ui/status_line.h"
#include "ui/symbols.h"
#include "ui/system_colors.h"
#include "ui/text_styles.h"
#include "ui/token_section.h"

namespace tallyvane {
namespace {

constexpr int panelWidth = 360;
// Sized for the taller line boxes of Linux fonts (Noto Sans is the tallest common one): two quota
// windows, the account line and a limit under them, the tokens and the footer fit the 400-high panel.
constexpr int sideMargin = 20;
constexpr int edgeMargin = 14;
constexpr int sectionSpacing = 8;
constexpr int accountSpacing = 2;  // the account line and its limit read as one section
constexpr int firstRowIndex = 2;  // after the header and the connecting notice

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("divider"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    return line;
}

// A warning symbol beside a text that wraps: the error style. Its parts are named `name`, `name`Icon, `name`Text.
QWidget* warningRow(const QString& name, QLabel*& icon, QLabel*& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(name);
    icon = new QLabel(row);
    icon->setObjectName(name + QStringLiteral("Icon"));
    text = new QLabel(row);
    text->setObjectName(name + QStringLiteral("Text"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(icon, 0, Qt::AlignTop);
    line->addWidget(text, 1);
    return row;
}

}  // namespace

QuotaView::QuotaView(std::shared_ptr<UsageModel> model, std::shared_ptr<const HistorySnapshot> history,
                     std::function<void()> quit, std::function<void()> openCodex, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), history_(std::move(history)), scroll_(new QScrollArea(this)) {
    setObjectName(QStringLiteral("quotaView"));
    setLocale(QLocale(QLocale::French, QLocale::France));
    setFixedWidth(panelWidth);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("column"));
    content->setFixedWidth(panelWidth);
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(sideMargin, edgeMargin, sideMargin, edgeMargin);
    column_->setSpacing(sectionSpacing);

    header_ = new HeaderSection(content);
    connecting_ = new QLabel(QString::fromUtf8(connectingText), content);
    connecting_->setObjectName(QStringLiteral("connectingNotice"));

    account_ = new QWidget(content);
    account_->setObjectName(QStringLiteral("accountSection"));
    accountLine_ = plainLabel("accountLine", QString(), account_);
    accountLine_->setWordWrap(true);
    limitBlock_ = warningRow(QStringLiteral("limitBlock"), limitIcon_, limitText_, account_);
    auto* accountColumn = new QVBoxLayout(account_);
    accountColumn->setContentsMargins(0, 0, 0, 0);
    accountColumn->setSpacing(accountSpacing);
    accountColumn->addWidget(accountLine_);
    accountColumn->addWidget(limitBlock_);
    error_ = warningRow(QStringLiteral("quotaError"), errorIcon_, errorText_, content);

    tokens_ = new TokenSection(content);
    tokens_->setOnToggle([this] { toggleTokenChart(); });
    status_ = new StatusLine(content);
    footer_ = new FooterBar({[this] { model_->refresh(); }, std::move(openCodex), std::move(quit)}, content);

    column_->addWidget(header_);
    column_->addWidget(connecting_);
    column_->addWidget(error_);
    column_->addWidget(account_);
    column_->addWidget(divider(content));
    column_->addWidget(tokens_);
    column_->addWidget(divider(content));
    column_->addWidget(status_);
    column_->addWidget(footer_);

    scroll_->setObjectName(QStringLiteral("scroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidget(content);
    content->installEventFilter(this);
    // The scroll area paints its viewport and content by default; the panel's backdrop must show instead.
    scroll_->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll_);

    applyStyle();
    observation_ = model_->willChange().connect([this] { scheduleRedraw(); });
    redraw();
    fitContent();
}

QuotaView::~QuotaView() { model_->willChange().disconnect(observation_); }

QColor QuotaView::tint(double percentage) const { return systemColor(usageTint(percentage), palette()); }

bool QuotaView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->widget() && event->type() == QEvent::LayoutRequest) {
        fitContent();
        // The column lays its children out after this filter: the chart's place is known once it has.
        if (reveal_)
            QMetaObject::invokeMethod(this, [this] {
                if (reveal_) scroll_->ensureWidgetVisible(reveal_, 0, 0);
                reveal_ = nullptr;
            }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

// Both are called from inside the clicked row or section: the redraw, which may delete rows, comes later.
void QuotaView::toggleWindowChart(const std::string& windowId) {
    const bool opening = openWindow_ != windowId;
    openWindow_ = opening ? std::optional(windowId) : std::nullopt;
    tokenChartOpen_ = false;
    reveal_ = nullptr;
    for (QuotaRow* row : rows_)
        if (opening && row->windowId() == windowId) reveal_ = row;
    scheduleRedraw();
}

void QuotaView::toggleTokenChart() {
    tokenChartOpen_ = !tokenChartOpen_;
    openWindow_.reset();
    reveal_ = tokenChartOpen_ ? tokens_ : nullptr;
    scheduleRedraw();
}

void QuotaView::fitContent() {
    // The column keeps its width and takes the height its texts need at that width; the scroll
    // area scrolls whatever does not fit. When the scroll bar shows, it covers the right margin.
    QWidget* content = scroll_->widget();
    const int height = content->hasHeightForWidth() ? content->heightForWidth(panelWidth) : -1;
    content->resize(panelWidth, height > 0 ? height : content->sizeHint().height());
}

bool QuotaView::event(QEvent* event) {
    // The symbols are pixmaps drawn for one device pixel ratio: on a screen of another scale they
    // would be blurred or oversized, so they are drawn again.
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ScreenChangeInternal:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    case QEvent::DevicePixelRatioChange:
#endif
        if (devicePixelRatioF() != styledRatio_) {
            styleStale_ = true;
            scheduleRedraw();
        }
        break;
    default: break;
    }
    return QWidget::event(event);
}

void QuotaView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Sent before the children take the new palette or font: restyle them once they have.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        styleStale_ = true;
        scheduleRedraw();
    }
}

void QuotaView::applyStyle() {
    styledRatio_ = devicePixelRatioF();
    const QFont caption = textFont(TextStyle::Caption);
    connecting_->setFont(textFont(TextStyle::Body));
    setForeground(connecting_, secondaryText(palette()));
    const QColor orange = systemColor(SystemColor::Orange, palette());
    accountLine_->setFont(caption);
    setForeground(accountLine_, secondaryText(palette()));
    const int iconSize = QFontMetrics(caption).height();
    for (auto [icon, text] : {std::pair(errorIcon_, errorText_), {limitIcon_, limitText_}}) {
        text->setFont(caption);
        setForeground(text, orange);
        icon->setPixmap(symbolPixmap(Symbol::Warning, iconSize, orange, devicePixelRatioF()));
    }
    for (QFrame* line : findChildren<QFrame*>(QStringLiteral("divider"))) setForeground(line, separatorColor(palette()));
    header_->applyStyle();
    for (QuotaRow* row : rows_) row->applyStyle();
    tokens_->applyStyle();
    status_->applyStyle();
    footer_->applyStyle();
}

void QuotaView::scheduleRedraw() {
    // Observers are told before the value changes: read the model once the current batch is stored.
    if (redrawQueued_) return;
    redrawQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { redraw(); }, Qt::QueuedConnection);
}

void QuotaView::redraw() {
    redrawQueued_ = false;
    if (styleStale_) {
        styleStale_ = false;
        applyStyle();
    }
    const UsageModel& model = *model_;
    const bool demo = isDemo();
    header_->display(model.refreshing(), demo);
    connecting_->setVisible(model.windows().empty() && !model.error());
    displayRows(model.windows());
    const auto accountLine = accountLineText(model.account());
    accountLine_->setText(QString::fromStdString(accountLine.value_or("")));
    accountLine_->setVisible(accountLine.has_value());
    const auto limit = limitBlockText(model.account(), model.windows());
    limitText_->setText(QString::fromStdString(limit.value_or("")));
    limitBlock_->setVisible(limit.has_value());
    account_->setVisible(accountLine || limit);
    if (model.error()) errorText_->setText(QString::fromStdString(*model.error()));
    error_->setVisible(model.error().has_value());
    std::optional<ChartData> tokenDays;
    if (tokenChartOpen_) {
        std::optional<DailyTokens> latest;
        if (model.lastTokenDay() && model.lastTokens())
            latest = DailyTokens{*model.lastTokenDay(), *model.lastTokens()};
        tokenDays = tokenChart(history_->dailyTokens, latest);
    }
    tokens_->display(model, std::move(tokenDays));
    status_->display(model);
    footer_->display(model.refreshing(), demo);
}

void QuotaView::displayRows(const std::vector<QuotaWindow>& windows) {
    std::unordered_map<std::string, QuotaRow*> previous;
    for (QuotaRow* row : rows_) previous.emplace(row->windowId(), row);

    if (openWindow_ && std::none_of(windows.begin(), windows.end(),
                                    [&](const QuotaWindow& window) { return window.id == *openWindow_; }))
        openWindow_.reset();

    std::vector<QuotaRow*> rows;
    rows.reserve(windows.size());
    for (const QuotaWindow& window : windows) {
        QuotaRow* row = nullptr;
        if (auto kept = previous.find(window.id); kept != previous.end()) {
            row = kept->second;
            previous.erase(kept);
        } else {
            row = new QuotaRow(column_->parentWidget());
            row->setOnToggle([this, row] { toggleWindowChart(row->windowId()); });
        }
        const Forecast outlook = windowForecast(*model_, window, *history_);
        std::optional<ChartData> chart;
        if (openWindow_ == window.id)
            chart = windowChart(window, outlook, history_->readings, model_->updated().value_or(model_->now()));
        row->display(window, outlook, std::move(chart));
        rows.push_back(row);
    }
    for (auto& [id, row] : previous) delete row;

    bool moved = false;
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        QuotaRow* row = rows[static_cast<std::size_t>(index)];
        if (column_->indexOf(row) == firstRowIndex + index) continue;
        column_->removeWidget(row);
        column_->insertWidget(firstRowIndex + index, row);
        row->show();
        moved = true;
    }
    rows_ = std::move(rows);
    if (moved) orderFocus();
}

void QuotaView::orderFocus() {
    // Tab follows the column from the top: rows are made after the sections under them.
    std::vector<QWidget*> chain;
    for (QuotaRow* row : rows_) chain.push_back(row->toggleArea());
    chain.push_back(tokens_->toggleArea());
    for (QPushButton* button : footer_->findChildren<QPushButton*>()) chain.push_back(button);
    for (std::size_t index = 1; index < chain.size(); ++index) setTabOrder(chain[index - 1], chain[index]);
}

}  // namespace tallyvane
