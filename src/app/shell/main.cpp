#include <QApplication>
#include <clocale>

#include "app/shell/DemoDownload.h"
#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "app/shell/Translations.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorlen"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quorlen")));
    quorlen::InstallPolishTranslations(app);
    // Dates in the results follow the operator's locale.
    std::setlocale(LC_TIME, "");
    quorlen::TFormMain window(QApplication::arguments().mid(1));
    quorlen::AttachDemoDownload(window);
    window.show();
    return app.exec();
}
