#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/shell/Translations.h"

// Every window of the suite runs on the offscreen platform and keeps its
// settings file in a folder of its own, never in the user's.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/quorlen-app-tests-XXXXXX"));
    qputenv("QUORLEN_DATA_DIR", data.path().toUtf8());
    QApplication app(argc, argv);
    quorlen::InstallPolishTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
