// SPDX-License-Identifier: GPL-3.0-or-later
// Event and priority types shared by the picture control and its timer component, kept apart from
// both so that either can name them without pulling in the other.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <type_traits>
#include <utility>

// An event handler that takes only the sender: a routine together with the object it belongs to.
// It counts as assigned when its routine is set. When it was bound to a QObject that has since
// been destroyed, calling it does nothing, so a handler never runs on a dead object.
//
// Handlers cannot be compared (a std::function has no equality), so a property that stores one
// cannot tell an unchanged handler from a new one: every write of a handler counts as a change.
class TNotifyEvent {
public:
    using Routine = std::function<void(QObject* sender)>;

    TNotifyEvent() = default;
    TNotifyEvent(std::nullptr_t) {}

    // A free routine; `object` (may be null) is the object it belongs to, watched for destruction.
    TNotifyEvent(Routine routine, QObject* object = nullptr)
        : routine_(std::move(routine)), object_(object), bound_(object != nullptr) {}

    // A method of `object`, which must outlive every call unless it derives from QObject.
    template <class T>
    TNotifyEvent(T* object, void (T::*method)(QObject* sender))
        : routine_([object, method](QObject* sender) { (object->*method)(sender); }) {
        if constexpr (std::is_base_of_v<QObject, T>) {
            object_ = object;
            bound_ = object != nullptr;
        }
    }

    bool Assigned() const { return static_cast<bool>(routine_); }
    explicit operator bool() const { return Assigned(); }

    // The object the handler belongs to, or null for a free routine or a destroyed object.
    QObject* Object() const { return object_.data(); }

    // Calls the routine with `sender`; does nothing when unassigned or its object is gone.
    void operator()(QObject* sender) const {
        if (!routine_ || (bound_ && object_.isNull())) return;
        routine_(sender);
    }

private:
    Routine routine_;
    QPointer<QObject> object_;
    bool bound_ = false;
};

// Priority of a worker thread, from the lowest to the highest. How each maps onto what Linux lets
// a process set is told beside TTimerThread (gif/TimerEx.h).
enum TThreadPriority : int {
    tpIdle = 0,
    tpLowest = 1,
    tpLower = 2,
    tpNormal = 3,
    tpHigher = 4,
    tpHighest = 5,
    tpTimeCritical = 6,
};
