#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quorlen::testing {

// Runs act on the next modal dialog of type T once it is the active window,
// as a person waits for a dialog to show before typing into it. A dialog that
// never comes leaves the timer running until the test ends.
template <class T>
void WhenActive(std::function<void(T&)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) return;
        // A dialog opened from a click may come up behind; a person clicks it first.
        if (!dialog->isActiveWindow()) {
            dialog->activateWindow();
            return;
        }
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start();
}

// Rejects every modal dialog still open after ms: a test whose dialogs do not
// behave fails instead of hanging. Stopped when it goes out of scope.
class TDialogWatchdog {
public:
    explicit TDialogWatchdog(int ms = 10000) {
        timer_.setInterval(200);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (--ticks_ > 0) return;
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++rejected_;
                dialog->reject();
            }
        });
        ticks_ = ms / 200;
        timer_.start();
    }
    int Rejected() const { return rejected_; }

private:
    QTimer timer_;
    int ticks_ = 0;
    int rejected_ = 0;
};

}  // namespace quorlen::testing
