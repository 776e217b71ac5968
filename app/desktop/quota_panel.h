#pragma once
// The floating panel: a frameless popup above every window, outside the taskbar and the window
// switcher, with a rounded backdrop (translucent when a compositor blends it, solid and shaped
// when none does). It closes on a click outside it, on Escape and when it loses the focus; it is
// hidden, never destroyed. Where a popup cannot work (Wayland, sway's XWayland) it is a window
// of fixed size instead.
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
    // Hides the panel because another program took the focus: a press elsewhere, maybe on the
    // tray item, whose Activate may still be on its way.
    void dismiss();
    // True once, shortly after a press outside the panel closed it: that press's own Activate,
    // when it was on the tray item, must not open the panel again. Any other request opens it.
    bool takeClosingPress();
    // The panel has had the keyboard focus since it last showed: only then can it lose it.
    bool hadFocus() const { return hadFocus_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void shape();

    QWidget* content_;
    bool composited_ = false;
    QElapsedTimer closingPress_;
    bool hadFocus_ = false;
};

}  // namespace tallyvane
