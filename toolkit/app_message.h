// Synchronous delivery of the program's own messages, from the GUI thread or
// any other thread.
//
// The handler always runs on the receiver's (GUI) thread; the sender waits
// until it returns and gets its result. A send from another thread is queued
// to the GUI thread's event loop, so it is also delivered while that thread
// runs a modal loop. The GUI thread must therefore never block waiting for a
// thread that may be sending to it.
#pragma once

#include <QObject>
#include <cstdint>

namespace zd::ui {

// Implemented by every window that handles messages. A number the class
// does not handle has no effect and returns 0.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// Delivers the message to receiver and returns the handler's result. A
// receiver that is null, handles no messages, or is destroyed before the
// message reaches it yields 0.
intptr_t SendAppMessage(QObject* receiver, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

} // namespace zd::ui
