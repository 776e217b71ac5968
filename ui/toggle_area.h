#pragma once
// A part of the panel that opens or folds a chart under it: a click, or Space or Enter once it has
// the keyboard focus. It shows that it can be clicked (pointing hand, a soft highlight while focused)
// and tells assistive technology what it does.
#include <functional>

#include <QWidget>

namespace tallyvane {

class ToggleArea final : public QWidget {
public:
    explicit ToggleArea(QWidget* parent = nullptr);
    // Called on each click or key press; the owner decides what opens.
    std::function<void()> onToggle;
    // Whether what it opens is open: only its accessible name follows.
    void setOpen(bool open);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void toggle();
    bool pressed_ = false;
    bool open_ = false;
};

}  // namespace tallyvane
