#pragma once
// The panel's three actions: refresh now, open Codex, quit.
#include <functional>

#include <QWidget>

class QPushButton;

namespace tallyvane {

struct FooterActions {
    std::function<void()> refresh;
    std::function<void()> openCodex;
    std::function<void()> quit;
};

class FooterBar final : public QWidget {
public:
    FooterBar(FooterActions actions, QWidget* parent = nullptr);
    void display(bool refreshing, bool demo);
    void applyStyle();

private:
    QPushButton* refresh_;
    QPushButton* openCodex_;
    QPushButton* quit_;
};

}  // namespace tallyvane
