#include "message_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace zd::ui {

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

MessageAnswer ShowOnGuiThread(const MessageBoxRequest& request)
{
    if (Hook())
        return Hook()(request);
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(BoxIcon(request.icon), request.caption, request.text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, request.owner);
    if (yesNo)
        box.setEscapeButton(QMessageBox::No);
    const int answer = box.exec();
    if (!yesNo)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

} // namespace

MessageAnswer ShowMessageBox(const MessageBoxRequest& request)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return ShowOnGuiThread(request);
    MessageAnswer answer = MessageAnswer::Ok;
    QMetaObject::invokeMethod(
        app, [&] { answer = ShowOnGuiThread(request); }, Qt::BlockingQueuedConnection);
    return answer;
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

} // namespace zd::ui
