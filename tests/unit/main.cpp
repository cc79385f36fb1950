#include <gtest/gtest.h>

#include <QApplication>

#include "Base/QtTranslation.h"

int main(int argc, char** argv) {
    // Widgets need a platform; tests never need a real display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As the application does: Qt's dialogs and key names in French.
    installQtFrenchTranslation(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
