#pragma once
// A thin horizontal bar filled to a fraction in an accent colour, over a faint track.
#include <QColor>
#include <QWidget>

namespace tallyvane {

class UsageBar final : public QWidget {
public:
    explicit UsageBar(QWidget* parent = nullptr);
    // `percentage` on a 0...100 scale; values outside are drawn at the nearest end.
    void setValue(double percentage, const QColor& fill);
    double fraction() const { return fraction_; }
    QColor fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction_ = 0;
    QColor fill_;
};

}  // namespace tallyvane
