#pragma once
// Whether the quota data is fresh (a green or orange dot) and when it was last read.
#include <QColor>
#include <QWidget>

class QLabel;

namespace tallyvane {

class UsageModel;

class StatusDot final : public QWidget {
public:
    explicit StatusDot(QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QColor color() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
};

class StatusLine final : public QWidget {
public:
    explicit StatusLine(QWidget* parent = nullptr);
    void display(const UsageModel& model);
    void applyStyle();

private:
    StatusDot* dot_;
    QLabel* reading_;
    QLabel* period_;
};

}  // namespace tallyvane
