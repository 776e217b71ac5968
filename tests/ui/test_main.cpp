// One QApplication for the whole run; Fusion, its own palette and no icon theme (our own drawings) keep the
// look the same on every machine.
#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QStyleFactory>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", TALLYVANE_UI_PLATFORM);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName(QStringLiteral("none"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
