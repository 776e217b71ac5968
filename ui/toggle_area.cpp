#include "ui/toggle_area.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tallyvane {

ToggleArea::ToggleArea(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab, not focused by a click: the focus highlight then only shows for keyboard users.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QString::fromUtf8("Afficher l’historique"));
}

void ToggleArea::setOpen(bool open) {
    if (open == open_) return;
    open_ = open;
    setAccessibleName(QString::fromUtf8(open ? "Masquer l’historique" : "Afficher l’historique"));
}

void ToggleArea::toggle() {
    if (auto callback = onToggle) callback();
}

void ToggleArea::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void ToggleArea::mouseReleaseEvent(QMouseEvent* event) {
    // As a button does: the press and the release both inside.
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) toggle();
}

void ToggleArea::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat()) toggle();
        event->accept();
        return;
    default: QWidget::keyPressEvent(event);
    }
}

void ToggleArea::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void ToggleArea::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void ToggleArea::paintEvent(QPaintEvent*) {
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlphaF(0.18f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlight);
    painter.drawRoundedRect(QRectF(rect()), 6, 6);
}

}  // namespace tallyvane
