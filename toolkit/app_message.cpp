#include "app_message.h"

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace zd::ui {

namespace {

intptr_t Deliver(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    auto* target = dynamic_cast<MessageTarget*>(receiver);
    return target ? target->HandleAppMessage(message, wParam, lParam) : 0;
}

// The sender's side of a cross-thread send: it waits here for the result.
class Reply {
public:
    void Finish(intptr_t result)
    {
        {
            std::lock_guard lock(mutex_);
            result_ = result;
            done_ = true;
        }
        done_changed_.notify_all();
    }
    intptr_t Wait()
    {
        std::unique_lock lock(mutex_);
        done_changed_.wait(lock, [this] { return done_; });
        return result_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_changed_;
    bool done_ = false;
    intptr_t result_ = 0;
};

// Owned only by the queued call. Whether the call runs or is dropped
// undelivered (its receiver destroyed first), the sender is released when the
// last copy of the call goes away.
struct PendingCall {
    explicit PendingCall(std::shared_ptr<Reply> reply) : reply(std::move(reply)) {}
    ~PendingCall() { reply->Finish(result); }
    PendingCall(const PendingCall&) = delete;
    PendingCall& operator=(const PendingCall&) = delete;

    std::shared_ptr<Reply> reply;
    intptr_t result = 0;
};

} // namespace

intptr_t SendAppMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!receiver)
        return 0;
    if (QThread::currentThread() == receiver->thread())
        return Deliver(receiver, message, wParam, lParam);

    auto reply = std::make_shared<Reply>();
    {
        auto call = std::make_shared<PendingCall>(reply);
        QMetaObject::invokeMethod(
            receiver,
            [call, receiver, message, wParam, lParam] { call->result = Deliver(receiver, message, wParam, lParam); },
            Qt::QueuedConnection);
    }
    return reply->Wait();
}

} // namespace zd::ui
