#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QMenu>
#include <QPoint>

#include "app/shell/FormMain.h"
#include "testing/ScanSimulator.h"

namespace quorlen::testing {

// A 150-dpi A4 scan of a rendered sheet with the given boxes marked (one list
// of box indices per question), the header "Brenvik Quorlen", CR, title.
void WriteMarkedScan(const std::string& path, int questions, int answers, const std::string& code,
                     const std::vector<std::vector<int>>& boxes, sim::TFileFormat format = sim::TFileFormat::Png,
                     const std::string& title = "Test");

// Lets the window's run go on until it has ended, at most a minute.
void WaitForRunEnd(TFormMain& w);

// The child widget of that object name; a test failure when there is none.
template <class T>
T* FindChild(QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// A mouse click as the window system delivers it: to the top-level window at
// the point over widget, so that whatever lies under the mouse there takes it
// (an overlay included), and a right button raises a context menu. The
// window must be shown.
void ClickAt(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton);

// The popup menu once it is open, at most five seconds; null when none came.
QMenu* WaitForMenu();

// Chooses the menu's action of that object name by a click on it; a test
// failure when the menu has no such action or it is disabled.
void ChooseFromMenu(QMenu* menu, const char* actionName);

}  // namespace quorlen::testing
