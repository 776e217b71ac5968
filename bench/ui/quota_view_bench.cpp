// Cost of one model update reaching the panel: the update itself, the view's redraw and a repaint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleFactory>

#include <string>

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
