#include "AppTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWindow>

#include "core/printing/RenderSheet.h"

namespace quorlen::testing {

void WriteMarkedScan(const std::string& path, int questions, int answers, const std::string& code,
                     const std::vector<std::vector<int>>& boxes, sim::TFileFormat format, const std::string& title) {
    TMonoBitmap page = RenderSheet(questions, answers, code, "Brenvik Quorlen\r" + title);
    sim::TPageMarks marks;
    marks.Boxes = boxes;
    sim::MarkAnswers(page, questions, answers, 1, marks, 1);
    sim::TScanParams params;
    params.Dpi = 150;
    sim::SavePicture(sim::PlaceOnA4(page, params), path, format);
}

void WaitForRunEnd(TFormMain& w) {
    QElapsedTimer timer;
    timer.start();
    while (w.Run().Running && timer.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void ClickAt(QWidget* widget, QPoint pos, Qt::MouseButton button) {
    QWidget* top = widget->window();
    ASSERT_NE(top->windowHandle(), nullptr) << "the window is not shown";
    QTest::mouseClick(top->windowHandle(), button, {}, widget->mapTo(top, pos));
}

QMenu* WaitForMenu() {
    QMenu* menu = nullptr;
    QTest::qWaitFor(
        [&menu] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu != nullptr && menu->isVisible();
        },
        5000);
    return menu;
}

void ChooseFromMenu(QMenu* menu, const char* actionName) {
    ASSERT_NE(menu, nullptr) << "no menu opened";
    QAction* action = menu->findChild<QAction*>(QString::fromLatin1(actionName));
    if (!action)
        for (QAction* a : menu->actions())
            if (a->objectName() == QLatin1String(actionName)) action = a;
    const bool usable = action != nullptr && action->isEnabled();
    QStringList present;
    for (QAction* a : menu->actions()) present << a->objectName() + QStringLiteral("/") + a->text();
    EXPECT_TRUE(usable) << actionName << (action ? " is disabled" : " is not in the menu: ")
                        << present.join(QStringLiteral(", ")).toStdString();
    // A menu left open would keep the test waiting in its exec for ever.
    if (!usable) {
        menu->close();
        return;
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

}  // namespace quorlen::testing
