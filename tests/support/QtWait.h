// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>

#include "TimeScale.h"

namespace test_support {

// Runs the event loop until the condition holds or the bound, stretched for this build, has passed;
// whether the condition held. For a test program with a QCoreApplication.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds bound = std::chrono::milliseconds(10000)) {
    const qint64 limit = Scaled(bound).count();
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace test_support
