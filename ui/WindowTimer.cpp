// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTimer.h"

TTimer::TTimer(int intervalMs, QObject* parent) : QObject(parent), interval_(intervalMs) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTimer_) onTimer_();
    });
}

void TTimer::SetInterval(int intervalMs) {
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    UpdateTimer();
}

void TTimer::SetOnTimer(std::function<void()> handler) {
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    timer_.stop();
    if (interval_ > 0 && onTimer_) timer_.start(interval_);
}
