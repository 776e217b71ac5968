#pragma once
// The floating panel: a frameless popup above every window, outside the taskbar and the window
// switcher, with a rounded backdrop (translucent when a compositor blends it, solid and shaped
// when none does). It closes on a click outside it and on Escape; it is hidden, never destroyed.
#include <QElapsedTimer>
#include <QWidget>

namespace tallyvane {

class QuotaPanel final : public QWidget {
    Q_OBJECT
public:
    static constexpr int cornerRadius = 16;

    // Takes `content` as its only child, filling it.
    explicit QuotaPanel(QWidget* content, QWidget* parent = nullptr);

    // Shows the panel where it stands and gives it the keyboard.
    void present();
    // True for a short moment after the panel closed: the click that closed it may still reach
    // the tray item, and must not open it again.
    bool justClosed() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void shape();

    QWidget* content_;
    bool composited_ = false;
    QElapsedTimer sinceClosed_;
};

}  // namespace tallyvane
