#pragma once
// The panel's header: the chart symbol, the name with its subtitle, and the spinner while
// a refresh runs.
#include <QWidget>

class QLabel;

namespace tallyvane {

class Spinner;

class HeaderSection final : public QWidget {
public:
    explicit HeaderSection(QWidget* parent = nullptr);
    void display(bool refreshing, bool demo);
    void applyStyle();

private:
    QLabel* icon_;
    QLabel* title_;
    QLabel* subtitle_;
    Spinner* spinner_;
};

}  // namespace tallyvane
