// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// The window's timer: ticks every Interval milliseconds while a handler is set.
// Writing the interval it already has leaves the running countdown alone; a different interval
// restarts the countdown; 0 stops the timer.
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(int intervalMs, QObject* parent = nullptr);

    int Interval() const { return interval_; }
    void SetInterval(int intervalMs);
    void SetOnTimer(std::function<void()> handler);

    // True while ticks are coming.
    bool IsRunning() const { return timer_.isActive(); }
    // Milliseconds until the next tick, -1 when stopped.
    int RemainingTime() const { return timer_.remainingTime(); }

private:
    void UpdateTimer();

    QTimer timer_;
    int interval_;
    std::function<void()> onTimer_;
};
