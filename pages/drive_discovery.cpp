#include "drive_discovery.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <vector>

#include "discovery/discovery.h"

namespace zd::ui {

namespace {

// The threads started and not yet deleted; GUI thread only.
std::vector<QPointer<QThread>>& Threads()
{
    static std::vector<QPointer<QThread>> threads;
    return threads;
}

void Forget(QThread* thread)
{
    auto& threads = Threads();
    std::erase_if(threads, [thread](const QPointer<QThread>& t) { return t.isNull() || t == thread; });
}

void Discover(bool physical, const DriveSourceFactory& makeSource, DriveList& list)
{
    if (makeSource) {
        if (const auto source = makeSource())
            physical ? DiscoverPhysicalDisks(*source, list) : DiscoverLogicalVolumes(*source, list);
        return;
    }
    physical ? DiscoverPhysicalDisks(list) : DiscoverLogicalVolumes(list);
}

// At exit, no thread may outlive the application object.
void EndDriveDiscovery()
{
    WaitForDriveDiscovery();
    for (const QPointer<QThread>& thread : Threads())
        delete thread.data();
    Threads().clear();
}

} // namespace

void StartDriveDiscovery(bool physical, DriveSourceFactory source, QObject* receiver,
                         std::function<void(DriveList&)> done)
{
    static const bool waitAtExit = [] {
        qAddPostRoutine(EndDriveDiscovery);
        return true;
    }();
    (void)waitAtExit;

    // Written by the thread before it finishes, read on the GUI thread after
    // its finished signal has arrived there.
    auto list = std::make_shared<DriveList>();
    QThread* thread =
        QThread::create([physical, source = std::move(source), list] { Discover(physical, source, *list); });
    // Queued to the receiver's thread; dropped when the receiver is gone.
    QObject::connect(thread, &QThread::finished, receiver, [list, done = std::move(done)] { done(*list); });
    QObject::connect(thread, &QThread::finished, thread, [thread] {
        Forget(thread);
        thread->deleteLater();
    });
    Threads().emplace_back(thread);
    thread->start();
}

void WaitForDriveDiscovery()
{
    for (const QPointer<QThread>& thread : Threads())
        if (thread)
            thread->wait();
}

} // namespace zd::ui
