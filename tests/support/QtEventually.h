// Waits for something on the UI thread: runs its events until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace movira::test {

// False when `condition` still does not hold after `timeoutMs`.
template <class Condition>
bool waitFor(Condition condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace movira::test
