// A function call carried by an event to the thread of its receiver. Posting
// hands the whole event over: the poster keeps no share in it, and Qt drops it
// unrun when the receiver is destroyed first.
#pragma once

#include <QEvent>

#include <functional>

class QObject;

namespace kestrova {

class PostedCall : public QEvent {
public:
    static QEvent::Type eventType();

    // Thread-safe while `receiver` is alive. The receiver's event() hands
    // events of eventType() to run().
    static void post(QObject* receiver, std::function<void()> call);

    void run() { call_(); }

private:
    explicit PostedCall(std::function<void()> call);

    std::function<void()> call_;
};

} // namespace kestrova
