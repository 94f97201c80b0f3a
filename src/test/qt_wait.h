#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns its last value.
template <typename Condition>
bool QtWaitUntil(Condition condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
