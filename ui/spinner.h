#pragma once
// A small indeterminate progress indicator. Its timer runs only while the spinner is on screen,
// so a hidden spinner costs nothing.
#include <QTimer>
#include <QWidget>

namespace tallyvane {

class Spinner final : public QWidget {
public:
    explicit Spinner(QWidget* parent = nullptr);
    bool isSpinning() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static constexpr int spokes = 8;
    QTimer timer_;
    int step_ = 0;
};

}  // namespace tallyvane
