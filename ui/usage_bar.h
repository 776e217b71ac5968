#pragma once
// A thin horizontal bar filled to a fraction in an accent colour, over a faint track, with an
// optional tick where even use of the window would stand now: filled past the tick means faster.
#include <optional>

#include <QColor>
#include <QWidget>

namespace tallyvane {

class UsageBar final : public QWidget {
public:
    // How far the pace tick stands out above and below the track: the widget is that much taller.
    static constexpr int tickOverhang = 2;

    explicit UsageBar(QWidget* parent = nullptr);
    // `percentage` on a 0...100 scale; values outside are drawn at the nearest end.
    void setValue(double percentage, const QColor& fill);
    // The even-pace point as a share of the bar (0...1), or none.
    void setPace(std::optional<double> pace);
    double fraction() const { return fraction_; }
    QColor fill() const { return fill_; }
    std::optional<double> pace() const { return pace_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction_ = 0;
    QColor fill_;
    std::optional<double> pace_;
};

}  // namespace tallyvane
