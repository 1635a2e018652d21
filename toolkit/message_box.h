// The one place that shows the program's modal message boxes.
//
// Any thread may call ShowMessageBox: the box always runs on the GUI thread
// while the caller waits for the answer. Tests replace the box with a hook
// that sees each request and answers it, so nothing waits for a user.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zd::ui {

enum class MessageIcon { Information, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageBoxRequest {
    QWidget* owner = nullptr; // null: a box of its own, owned by no window
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;
};

MessageAnswer ShowMessageBox(const MessageBoxRequest& request);

using MessageBoxHook = std::function<MessageAnswer(const MessageBoxRequest&)>;

// Answers every following box with the hook instead of showing it; an empty
// hook brings back the real boxes. Call on the GUI thread.
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace zd::ui
