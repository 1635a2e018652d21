#include "app_message.h"

#include <QMetaObject>
#include <QThread>

namespace zd::ui {

intptr_t SendAppMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!receiver)
        return 0;
    const auto deliver = [receiver, message, wParam, lParam]() -> intptr_t {
        auto* target = dynamic_cast<MessageTarget*>(receiver);
        return target ? target->HandleAppMessage(message, wParam, lParam) : 0;
    };
    if (QThread::currentThread() == receiver->thread())
        return deliver();
    intptr_t result = 0;
    QMetaObject::invokeMethod(receiver, deliver, Qt::BlockingQueuedConnection, &result);
    return result;
}

} // namespace zd::ui
