#include <QApplication>
#include <clocale>

#include "app/shell/FormMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Dates in the results follow the operator's locale.
    std::setlocale(LC_TIME, "");
    quorlen::TFormMain window;
    window.show();
    return app.exec();
}
