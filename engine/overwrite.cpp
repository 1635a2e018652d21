#include "overwrite.h"

#include "device_access.h"
#include "platform/aligned_buffer.h"
#include "run_control.h"
#include "verification.h"

namespace zd {

namespace {

bool StopPass(WipeContext& context)
{
    FlushDevice(context.device); // what was written stays written; the run ends either way
    WritePassLog(context.log, LogEvent::PassCancelled, context.selection, context.device);
    context.progress.state.store(Stopped);
    return false;
}

} // namespace

bool WritePass(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
               const PassLayout& layout)
{
    WipeProgress& progress = context.progress;
    DeviceRecord& device = context.device;

    progress.sectorsDone.store(0);
    context.notifier.WipeProgress();
    context.notifier.PassCompleted();
    WritePassLog(context.log, LogEvent::PassStarted, context.selection, device);
    device.sectorsWiped = 0;
    if (StopRequested(progress))
        return StopPass(context);

    const uint64_t blocks = layout.wholeBlockSectors / kBlockSectors;
    const uint64_t writes = blocks + (layout.tailSectors != 0 ? 1 : 0);
    auto queue = OpenWriteQueue(device, kWritesInFlight);
    if (!queue)
        return false;
    uint64_t submitted = 0;
    for (uint64_t completed = 0; completed < writes; ++completed) {
        for (; submitted < writes && submitted - completed < kWritesInFlight; ++submitted) {
            if (submitted < blocks)
                queue->Submit(block, submitted * kBlockSectors * kSectorBytes);
            else
                queue->Submit(tail, layout.wholeBlockSectors * kSectorBytes);
        }
        if (!queue->Complete())
            return false; // the queue waits for the writes still in flight
        const uint64_t sectors = completed < blocks ? kBlockSectors : layout.tailSectors;
        device.sectorsWiped += sectors;
        progress.sectorsDone.fetch_add(sectors);
        context.notifier.WipeProgress();
        if (StopRequested(progress)) {
            queue.reset();
            return StopPass(context);
        }
    }
    queue.reset();
    // A pass is complete only once its data is on the device.
    if (!FlushDevice(device))
        return false;

    progress.sectorsDone.store(progress.sectorTotal.load());
    context.notifier.WipeProgress();
    context.selection.passesDone.fetch_add(1);
    context.notifier.PassCompleted();
    WritePassLog(context.log, LogEvent::PassCompleted, context.selection, device);
    return true;
}

WipeOutcome RunWipe(int32_t algorithmId, WipeContext& context)
{
    const auto passes = ResolveMethodPasses(algorithmId, context.selection.customString, context.random);
    if (!passes)
        return {};
    const PassLayout layout = PassLayout::Of(context.device.sectorCount);
    platform::AlignedBuffer block(kBlockBytes);
    platform::AlignedBuffer tail(layout.tailSectors * kSectorBytes);

    if (!PrepareDevice(context.device))
        return {};
    BeginRunning(context.progress);
    context.progress.sectorsDone.store(0);
    context.progress.sectorTotal.store(context.device.sectorCount);

    for (const PassPattern& pass : *passes) {
        FillPattern(block.span(), pass);
        if (layout.tailSectors != 0)
            FillPattern(tail.span(), pass);
        if (!WritePass(context, block.span(), tail.span(), layout))
            return {};
    }
    return {true, VerifyLastPass(context, block.span(), tail.span(), layout)};
}

} // namespace zd
