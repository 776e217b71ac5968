// Widget tests need one QApplication for the whole run; Fusion keeps the look the same on every machine.
#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Build and CI machines have no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", TALLYVANE_UI_PLATFORM);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
