// What the tray item shows: its title, and images that read on any bar.
#include "app/desktop/tray_icon_art.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cmath>

#include "app/desktop/title_text.h"
#include "tests/desktop/support/ocr.h"

namespace tallyvane {
namespace {

std::vector<QuotaWindow> windowsAt(const std::vector<double>& used) {
    std::vector<QuotaWindow> windows;
    for (double value : used) windows.push_back({"w" + std::to_string(windows.size()), "Fenêtre", value, {}, {}});
    return windows;
}

// The highest window, rounded half up, the problem mark and the demo prefix; the guide is the widest title.
TEST(StatusTitle, FollowsTheHighestWindowTheErrorAndDemo) {
    const struct { std::vector<double> used; std::optional<std::string> error; bool demo; std::string title; } table[] = {
        {{}, std::nullopt, false, " GPT —"},           {{}, "Codex introuvable", false, " GPT —"},
        {{}, std::nullopt, true, " GPT —"},            {{38, 62}, std::nullopt, false, " GPT 62 %"},
        {{62, 38}, std::nullopt, true, " DÉMO GPT 62 %"}, {{87.4}, "Délai dépassé", false, " GPT 87 % !"},
        {{87.4}, "", false, " GPT 87 % !"},            {{0}, std::nullopt, false, " GPT 0 %"},
        {{100, 99.6}, std::nullopt, false, " GPT 100 %"}, {{49.5, 12}, std::nullopt, false, " GPT 50 %"},
        {{62.49}, std::nullopt, false, " GPT 62 %"}};
    for (const auto& c : table) EXPECT_EQ(statusTitle(windowsAt(c.used), c.error, c.demo), c.title);
    for (bool demo : {false, true}) EXPECT_EQ(statusTitleGuide(demo), statusTitle(windowsAt({100}), "x", demo));
    EXPECT_DOUBLE_EQ(highestUse(windowsAt({74.6, 12})).value_or(0), 74.6);
}

// The icon on a bar, with a margin of bar around it.
QImage onBar(const QImage& icon, QColor bar) {
    QImage flat(icon.size() + QSize(4, 4), QImage::Format_RGB32);
    flat.fill(bar);
    QPainter(&flat).drawImage(2, 2, icon);
    return flat;
}

// The first run of rows that hold saturated opaque pixels: the number's fill. Each such pixel must keep its colour in
// `marked` (the same reading with a problem). Empty when there is none.
std::pair<int, int> digitRows(const QImage& plain, const QImage& marked) {
    int top = -1, bottom = -1;
    for (int y = 0; y < plain.height() && (bottom < 0 || bottom == y - 1); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (const QColor c = plain.pixelColor(x, y); c.alpha() > 250 && c.hsvSaturation() > 60) {
                EXPECT_EQ(marked.pixelColor(x, y), c) << "the problem covers the digits at " << x << "," << y;
                top = top < 0 ? y : top, bottom = y;
            }
    return {top, bottom};
}

// Every image, with the figure (hosts that hide the label) and without, for each reading with and without a
// problem, on a dark and a light bar: of the pixels at least half opaque, a third or more reach 3:1 against the bar;
// the problem shows, never over the digits, which are at least 60 % of the side; and tesseract reads the number as
// drawn, and in the 48 and 64 px images shrunk smoothly to 16 and 22 px as some hosts do. Sheets of the images
// enlarged four times, the digits' heights and what was read are kept.
TEST(TrayIcons, ReadOnDarkAndLightBarsAtEverySize) {
    // Tesseract reads all but 80, which is there for its orange.
    const std::optional<double> readings[] = {0, 7, 38, 62, 80, 99, 100, std::nullopt};
    const QColor bars[] = {QColor(0x1e, 0x1e, 0x1e), QColor(0xf0, 0xf0, 0xf0)};
    constexpr int sizes = int(std::size(trayIconSizes));
    QList<QImage> shown;
    QStringList labels, report;
    for (bool figure : {true, false}) {
        QImage sheet(128 * sizes, 128 * int(std::size(readings)), QImage::Format_RGB32);
        QPainter painter(&sheet);
        for (int row = 0; row < 2 * int(std::size(readings)); ++row) {
            const std::optional<double> reading = readings[row / 2];
            const bool error = row % 2;
            const QString number = figure && reading ? QString::number(*reading) : QString();
            const QList<QImage> icons = trayIcons(reading, error, figure), plain = trayIcons(reading, false, figure);
            EXPECT_EQ(icons != trayIcons(reading, error, !figure), reading.has_value());
            ASSERT_EQ(icons.size(), sizes);
            for (int i = 0; i < sizes; ++i) {
                const QImage& icon = icons[i];
                const int side = trayIconSizes[i];
                const QString name = QString("%1%2, %3 px").arg(number.isEmpty() ? "chart" : number, error ? " problem" : "").arg(side);
                SCOPED_TRACE(name.toStdString());
                EXPECT_EQ(icon.size(), QSize(side, side));
                EXPECT_EQ(icon != plain[i], error) << "the problem shows";
                const auto [top, bottom] = digitRows(plain[i], icon);
                EXPECT_TRUE(number.isEmpty() || number.size() > 2 || bottom - top + 1 >= std::lround(0.6 * side)) << bottom - top + 1;
                if (!number.isEmpty() && !error) report.append(QString("%1: digits %2 px tall").arg(name).arg(bottom - top + 1));
                for (int b = 0; b < 2; ++b) {
                    const QImage flat = onBar(icon, bars[b]);
                    painter.drawImage((2 * i + b) * 64, row * 64, flat, 2, 2, side, side);
                    int opaque = 0, readable = 0;
                    for (int p = 0; p < side * side; ++p)
                        if (qAlpha(icon.pixel(p % side, p / side)) >= 128)
                            ++opaque, readable += testing::contrast(flat.pixel(p % side + 2, p / side + 2), bars[b].rgb()) >= 3;
                    EXPECT_TRUE(opaque > 0 && 3 * readable >= opaque) << readable << " of " << opaque;
                    if (number.isEmpty() || number == "80") continue;  // read: the six of the table above
                    shown.append(flat), labels.append(name + " on " + bars[b].name());
                    for (int small : {16, 22})
                        if (side >= 48)
                            shown.append(onBar(icon.scaled(small, small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), bars[b])),
                                labels.append(QString("%1 shrunk to %2 px on %3").arg(name).arg(small).arg(bars[b].name()));
                }
            }
        }
        EXPECT_TRUE(sheet.scaled(sheet.size() * 4)
                        .save(QStringLiteral(DESKTOP_ARTIFACTS "/tray-icons-%1.png").arg(figure ? "figure" : "chart")));
    }
    if (QStandardPaths::findExecutable("tesseract").isEmpty()) GTEST_SKIP() << "tesseract is not installed";
    // Tesseract misses some lines in one page mode that it reads in another: either will do.
    const QStringList line = testing::ocrDigits(shown, "6"), raw = testing::ocrDigits(shown, "13");
    ASSERT_TRUE(line.size() == shown.size() && raw.size() == shown.size()) << "tesseract failed";
    for (int i = 0; i < shown.size(); ++i) {
        const QString number = labels[i].section(QRegularExpression("[ ,]"), 0, 0);
        EXPECT_TRUE(line[i] == number || raw[i] == number) << labels[i].toStdString() << ": " << line[i].toStdString() << ", " << raw[i].toStdString();
        report.append(QString("%1: read %2 (block), %3 (raw line)").arg(labels[i], line[i], raw[i]));
    }
    QFile file(DESKTOP_ARTIFACTS "/tray-ocr.txt");
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(report.join('\n').toUtf8() + '\n') > 0);
}

}  // namespace
}  // namespace tallyvane
