// Cost of one model update reaching the panel: the update itself, the view's redraw and a repaint;
// and the cost of painting the demo panel with a history chart open against the folded one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleFactory>
#include <QTest>

#include <string>

#include "model/demo_history.h"
#include "model/run_flags.h"
#include "tests/support/fakes.h"
#include "ui/quota_view.h"

namespace {

using tallyvane::testing::ModelRig;

// A rate-limit notification with `count` windows; `shift` changes every percentage, not the ids.
std::string notification(int count, int shift) {
    std::string limits;
    for (int index = 0; index < count; index += 2) {
        if (!limits.empty()) limits += ",";
        limits += R"("lim)" + std::to_string(1000 + index) + R"(":{"primary":{"usedPercent":)" +
                  std::to_string((index * 7 + shift) % 101) +
                  R"(,"windowDurationMins":300,"resetsAt":1796600000},"secondary":{"usedPercent":)" +
                  std::to_string((index * 3 + shift) % 101) + R"(,"windowDurationMins":10080}})";
    }
    return R"({"method":"account/rateLimits/updated","params":{"rateLimitsByLimitId":{)" + limits + "}}}";
}

class PanelRig {
public:
    explicit PanelRig(int windows)
        : view_(rig_.model, std::make_shared<const tallyvane::HistorySnapshot>(), [] {}, [] {}), frame_(360, 400, QImage::Format_ARGB32_Premultiplied) {
        updates_[0] = notification(windows, 0);
        updates_[1] = notification(windows, 13);
        view_.resize(360, 400);
        view_.show();
        rig_.startReady();
        update();
        redrawAndPaint();
    }
    void update() { rig_.receive(updates_[next_++ % 2]); }
    void redrawAndPaint() {
        QCoreApplication::sendPostedEvents();
        frame_.fill(Qt::transparent);
        QPainter painter(&frame_);
        view_.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }

private:
    ModelRig rig_;
    tallyvane::QuotaView view_;
    QImage frame_;
    std::string updates_[2];
    int next_ = 0;
};

void modelUpdateAndRepaint(benchmark::State& state) {
    PanelRig panel(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        panel.update();
        panel.redrawAndPaint();
    }
}
BENCHMARK(modelUpdateAndRepaint)->Arg(2)->Arg(100)->Unit(benchmark::kMicrosecond);

// The view's share alone: the model update (parsing the payload) is left out of the timing.
void redrawAndRepaint(benchmark::State& state) {
    PanelRig panel(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        panel.update();
        state.ResumeTiming();
        panel.redrawAndPaint();
    }
}
BENCHMARK(redrawAndRepaint)->Arg(2)->Arg(100)->Unit(benchmark::kMicrosecond);

// The demo panel over its history, as the user sees it (the 400 px in view), the 5-hour chart open or not.
class DemoPanel {
public:
    explicit DemoPanel(bool chartOpen)
        : history_(std::make_shared<tallyvane::HistorySnapshot>()),
          view_(rig_.model, history_, [] {}, [] {}),
          frame_(360, 400, QImage::Format_ARGB32_Premultiplied) {
        tallyvane::setDemo(true);
        *history_ = tallyvane::demoHistory(rig_.clock->now());
        view_.resize(360, 400);
        view_.show();
        rig_.model->start();
        QCoreApplication::sendPostedEvents();
        if (chartOpen) QTest::mouseClick(view_.findChild<QWidget*>("quotaToggle"), Qt::LeftButton);
        for (int round = 0; round < 4; ++round) QCoreApplication::sendPostedEvents();
    }
    ~DemoPanel() { tallyvane::setDemo(false); }
    void paint() {
        frame_.fill(Qt::transparent);
        QPainter painter(&frame_);
        view_.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }

private:
    ModelRig rig_;
    std::shared_ptr<tallyvane::HistorySnapshot> history_;
    tallyvane::QuotaView view_;
    QImage frame_;
};

void demoPanelPaint(benchmark::State& state) {
    DemoPanel panel(state.range(0) != 0);
    for (auto _ : state) panel.paint();
}
BENCHMARK(demoPanelPaint)->ArgName("chartOpen")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
