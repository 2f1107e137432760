#include "online/postedcall.h"

#include <QCoreApplication>

namespace kestrova {

PostedCall::PostedCall(std::function<void()> call) : QEvent(eventType()), call_(std::move(call)) {}

QEvent::Type PostedCall::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostedCall::post(QObject* receiver, std::function<void()> call)
{
    QCoreApplication::postEvent(receiver, new PostedCall(std::move(call)));
}

} // namespace kestrova
