// Renders the quota panel for each model state, in a light and a dark palette, to PNG files,
// without a display. Usage: render-panel [OUTPUT_DIR] [STATE...]  (all states by default)
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/demo_history.h"
#include "model/run_flags.h"
#include "tests/support/fakes.h"
#include "ui/quota_view.h"

using tallyvane::HistorySnapshot;
using tallyvane::QuotaView;
using tallyvane::testing::ModelRig;
using tallyvane::testing::tokensAnswer;
using tallyvane::testing::twoWindowsAnswer;
using tallyvane::testing::windowsAt;
using Reach = std::function<void(ModelRig&, QuotaView&, HistorySnapshot&)>;

namespace {

void loseChild(ModelRig& rig) {
    rig.child().exit();
    rig.loop->drain();
}

// The demo data with the history the program shows with it, then a click on each named part (the
// first of that name, or the one at the index given after it).
Reach demoWithClicks(std::vector<std::pair<const char*, int>> clicked) {
    return [clicked](ModelRig& rig, QuotaView& view, HistorySnapshot& history) {
        tallyvane::setDemo(true);
        history = tallyvane::demoHistory(rig.clock->now());
        rig.model->start();
        view.historyChanged();
        QCoreApplication::sendPostedEvents();
        for (const auto& [name, index] : clicked)
            QTest::mouseClick(view.findChildren<QWidget*>(name).value(index), Qt::LeftButton);
    };
}

// Each state as the model reaches it through the protocol.
const std::map<std::string, Reach>& states() {
    static const std::map<std::string, Reach> table{
        {"never-read", [](ModelRig&, QuotaView&, HistorySnapshot&) {}},
        {"connecting", [](ModelRig& rig, QuotaView&, HistorySnapshot&) { rig.startReady(); }},
        {"error-without-windows",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerError(rig.pendingId("quota"), "Unauthorized");
             rig.answerError(rig.pendingId("tokens"), "Unauthorized");
         }},
        {"windows",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(twoWindowsAnswer);
             rig.answerTokens(tokensAnswer);
         }},
        {"at-the-limit",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(tallyvane::testing::atTheLimitAnswer(true));
             rig.answerTokens(tokensAnswer);
         }},
        {"at-the-limit-without-credits",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(tallyvane::testing::atTheLimitAnswer(false));
             rig.answerTokens(tokensAnswer);
         }},
        {"windows-and-error",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(twoWindowsAnswer);
             rig.answerTokens(tokensAnswer);
             loseChild(rig);
         }},
        {"demo", demoWithClicks({})},
        {"demo-chart", demoWithClicks({{"quotaToggle", 0}})},
        {"demo-week-chart", demoWithClicks({{"quotaToggle", 1}})},
        {"demo-tokens", demoWithClicks({{"tokenToggle", 0}})},
        {"thresholds",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(windowsAt({0, 74.6, 75, 89.9, 90, 100}));
             rig.answerTokens(tokensAnswer);
         }},
        {"no-reset-chart",
         [](ModelRig& rig, QuotaView& view, HistorySnapshot& history) {
             rig.startReady();
             rig.answerQuota(R"({"rateLimits":{"primary":{"usedPercent":12.5}}})");
             // Six hours of readings, one every 20 minutes: the chart keeps the last five.
             const tallyvane::QuotaWindow& window = rig.model->windows().front();
             const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                          rig.model->updated()->time_since_epoch()).count();
             for (int step = 18; step > 0; --step)
                 history.readings.push_back({window.id, now - step * 1200, 12.5 - step * 0.6, {}, {}, window.name});
             view.historyChanged();
             QCoreApplication::sendPostedEvents();
             QTest::mouseClick(view.findChild<QWidget*>("quotaToggle"), Qt::LeftButton);
         }},
        {"no-reset-no-tokens",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(R"({"rateLimits":{"primary":{"usedPercent":12.5}}})");
         }},
        {"token-error",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(twoWindowsAnswer);
             rig.answerError(rig.pendingId("tokens"), "rate limited");
         }},
        {"error-many-windows",
         [](ModelRig& rig, QuotaView&, HistorySnapshot&) {
             rig.startReady();
             rig.answerQuota(windowsAt({5, 15, 25, 35, 45, 55, 65, 80}));
             rig.answerError(rig.pendingId("tokens"), "rate limited");
             rig.model->refresh();
             rig.answerError(rig.pendingId("quota"), "rate limited");
         }},
    };
    return table;
}

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2B, 0x2B, 0x2E), text(0xEC, 0xEC, 0xEE), button(0x3A, 0x3A, 0x3D), dim(0x80, 0x80, 0x84);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x20));
    palette.setColor(QPalette::AlternateBase, button);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, button);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x4A, 0x4A, 0x4E));
    palette.setColor(QPalette::Midlight, QColor(0x42, 0x42, 0x46));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    palette.setColor(QPalette::Dark, QColor(0x1A, 0x1A, 0x1C));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dim);
    return palette;
}

// The view over a rounded backdrop in the window colour, as the panel shows it, at the view's own scale.
QImage renderPanel(QWidget& view, int height) {
    const qreal ratio = view.devicePixelRatioF();
    QImage image(QSize(view.width(), height) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath backdrop;
    backdrop.addRoundedRect(QRectF(0, 0, view.width(), height), 16, 16);
    painter.fillPath(backdrop, view.palette().color(QPalette::Window));
    painter.setClipPath(backdrop);
    view.render(&painter, QPoint(), QRegion(0, 0, view.width(), height), QWidget::DrawChildren);
    return image;
}

void settle() {
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

bool renderState(const std::string& name, const Reach& reach, const QString& folder) {
    bool saved = true;
    for (const auto& [theme, palette] :
         std::vector<std::pair<QString, QPalette>>{{"light", QApplication::style()->standardPalette()},
                                                   {"dark", darkPalette()}}) {
        tallyvane::setDemo(false);
        ModelRig rig;
        auto history = std::make_shared<HistorySnapshot>();
        QuotaView view(rig.model, history, [] {}, [] {});
        view.setPalette(palette);
        view.resize(360, 400);
        view.show();
        reach(rig, view, *history);
        settle();
        const QString stem = folder + "/" + QString::fromStdString(name) + "-" + theme;
        saved &= renderPanel(view, 400).save(stem + ".png");
        // The whole column too, for states taller than the panel.
        const int whole = view.findChild<QWidget*>(QStringLiteral("column"))->height();
        if (whole > 400) {
            view.resize(360, whole);
            settle();
            saved &= renderPanel(view, whole).save(stem + "-whole.png");
        }
    }
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A screen at scale 2, as on most laptops: the panel draws its symbols and text for it.
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("panel-png");
    QDir().mkpath(folder);
    std::vector<std::string> wanted(argv + std::min(argc, 2), argv + argc);
    if (wanted.empty())
        for (const auto& [name, reach] : states()) wanted.push_back(name);

    int failures = 0;
    for (const auto& name : wanted) {
        const auto state = states().find(name);
        if (state == states().end()) {
            std::fprintf(stderr, "render-panel: unknown state %s\n", name.c_str());
            ++failures;
        } else if (!renderState(name, state->second, folder)) {
            std::fprintf(stderr, "render-panel: could not write %s\n", name.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
