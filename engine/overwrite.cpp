#include "overwrite.h"

#include "device_access.h"
#include "full_verification.h"
#include "platform/aligned_buffer.h"
#include "run_control.h"
#include "transfer_loop.h"
#include "verification.h"

namespace zd {

namespace {

WipeFailure PassFailure(const WipeContext& context, WipeFailure::Step step, uint64_t sector, const std::string& error)
{
    return {step, context.selection.passesDone.load() + 1, sector, error.empty() ? std::string(kNoReason) : error};
}

// What was written stays written, and is made durable before the pass is
// reported cancelled; a flush that fails makes it a failed pass instead.
bool StopPass(WipeContext& context, std::optional<WipeFailure>& failure)
{
    if (!FlushDevice(context.device)) {
        failure = PassFailure(context, WipeFailure::Step::Flush, 0, DeviceError(context.device));
        return false;
    }
    WritePassLog(context.log, LogEvent::PassCancelled, context.selection, context.device);
    context.progress.state.store(Stopped);
    return false;
}

} // namespace

bool WritePass(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
               const PassLayout& layout, std::optional<WipeFailure>& failure)
{
    WipeProgress& progress = context.progress;
    DeviceRecord& device = context.device;

    progress.sectorsDone.store(0);
    context.notifier.WipeProgress();
    context.notifier.PassCompleted();
    WritePassLog(context.log, LogEvent::PassStarted, context.selection, device);
    device.sectorsWiped = 0;
    if (StopRequested(progress))
        return StopPass(context, failure);

    const uint64_t blocks = layout.wholeBlockSectors / kBlockSectors;
    const uint64_t writes = blocks + (layout.tailBytes != 0 ? 1 : 0);
    const auto sectorOf = [&](uint64_t write) {
        return write < blocks ? write * kBlockSectors : layout.wholeBlockSectors;
    };
    auto queue = OpenWriteQueue(device, kWritesInFlight);
    if (!queue) {
        failure = PassFailure(context, WipeFailure::Step::Write, 0, DeviceError(device));
        return false;
    }
    const TransfersEnd end = RunTransfers(
        *queue, progress, writes, kWritesInFlight,
        [&](uint64_t write) { queue->Submit(write < blocks ? block : tail, sectorOf(write) * kSectorBytes); },
        [&](uint64_t write, bool written) {
            if (!written) {
                failure = PassFailure(context, WipeFailure::Step::Write, sectorOf(write), queue->LastError());
                return false;
            }
            const uint64_t sectors = write < blocks ? kBlockSectors : layout.tailSectors;
            device.sectorsWiped += sectors;
            progress.sectorsDone.fetch_add(sectors);
            context.notifier.WipeProgress();
            return true;
        });
    if (end == TransfersEnd::Failed)
        return false; // the queue waits for the writes still in flight
    queue.reset();
    if (end == TransfersEnd::Stopped)
        return StopPass(context, failure);
    // A pass is complete only once its data is on the device.
    if (!FlushDevice(device)) {
        failure = PassFailure(context, WipeFailure::Step::Flush, 0, DeviceError(device));
        return false;
    }

    progress.sectorsDone.store(progress.sectorTotal.load());
    context.notifier.WipeProgress();
    context.selection.passesDone.fetch_add(1);
    context.notifier.PassCompleted();
    WritePassLog(context.log, LogEvent::PassCompleted, context.selection, device);
    return true;
}

WipeOutcome RunWipe(WipeContext& context)
{
    if (context.passes.empty())
        return {};
    const PassLayout layout = PassLayout::Of(context.device.sectorCount, context.device.trailingBytes);
    platform::AlignedBuffer block(kBlockBytes);
    platform::AlignedBuffer tail(layout.tailBytes);

    WipeOutcome outcome;
    if (const std::string changed = IdentityChange(context.device); !changed.empty()) {
        outcome.failure = WipeFailure{WipeFailure::Step::Identity, 0, 0, changed};
        WriteFailureLog(context.log, *outcome.failure);
        return outcome;
    }
    if (!PrepareDevice(context.device)) {
        outcome.failure = WipeFailure{WipeFailure::Step::Prepare, 0, 0, DeviceError(context.device)};
        WriteFailureLog(context.log, *outcome.failure);
        return outcome;
    }
    BeginRunning(context.progress);
    context.progress.phase.store(Writing);
    context.progress.sectorsDone.store(0);
    context.progress.sectorTotal.store(context.device.sectorCount);

    for (const PassPattern& pass : context.passes) {
        FillPattern(block.span(), pass);
        if (layout.tailBytes != 0)
            FillPattern(tail.span(), pass);
        if (!WritePass(context, block.span(), tail.span(), layout, outcome.failure)) {
            if (outcome.failure)
                WriteFailureLog(context.log, *outcome.failure);
            return outcome;
        }
    }
    outcome.completed = true;
    outcome.verification = context.verifyMode == VerifyMode::Full
                               ? VerifyEverySector(context, block.span(), tail.span(), layout)
                               : VerifyLastPass(context, block.span(), tail.span(), layout);
    return outcome;
}

} // namespace zd
