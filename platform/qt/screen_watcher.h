#pragma once
// One signal for any change of the screen arrangement: a screen added or removed, or a screen's
// geometry or usable area changed (a new scale changes the geometry in Qt's units).
#include <QObject>

class QScreen;

namespace tallyvane {

class ScreenWatcher final : public QObject {
    Q_OBJECT
public:
    explicit ScreenWatcher(QObject* parent = nullptr);

Q_SIGNALS:
    void changed();

private:
    void watch(QScreen* screen);
};

}  // namespace tallyvane
