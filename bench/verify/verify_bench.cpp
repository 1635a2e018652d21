// Full verification as bench/verify/run measures it, on a device it names.
//
//   verify_bench wipe DEVICE LOG_DIR full|samples
//       a Zero Wipe through RunWipe with that verify mode; prints the seconds
//       and MB/s of the read-back, from the moment the progress turned to
//       verifying to the end of the run
//   verify_bench read-back DEVICE
//       the full read-back alone, of a device a Zero Wipe left: the process
//       the bench times whole
//
// Exits 0 when every sector read back matched, 3 when verification found
// failing sectors, 1 when the device or the method cannot be used.
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/device_access.h"
#include "engine/full_verification.h"
#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "platform/aligned_buffer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kZeroWipe = 1;

// Notes when the read-back begins.
class TimingNotifier final : public zd::WipeNotifier {
public:
    explicit TimingNotifier(const zd::WipeProgress& progress) : progress_(progress) {}
    void WipeProgress() override
    {
        if (!verifying && progress_.phase.load() == zd::Verifying) {
            verifying = true;
            verifyStart = Clock::now();
        }
    }
    void PassCompleted() override {}
    void ShowOutcome(std::string_view) override {}
    void ShowLog(const std::filesystem::path&) override {}
    void ShowHomePage() override {}

    bool verifying = false;
    Clock::time_point verifyStart;

private:
    const zd::WipeProgress& progress_;
};

struct Run {
    zd::WipeSelection selection;
    zd::DeviceRecord device;
    zd::WipeProgress progress;
    zd::RunLog log;
    TimingNotifier notifier{progress};
    zd::WipeContext context{selection, device, progress, log, notifier};
};

int Usage()
{
    std::fprintf(stderr, "usage: verify_bench wipe DEVICE LOG_DIR full|samples\n"
                         "       verify_bench read-back DEVICE\n");
    return 1;
}

int Result(const zd::VerifyResult& result)
{
    if (result.failures() == 0 && !result.stopped)
        return 0;
    std::fprintf(stderr, "verify_bench: %llu of %llu sectors failed\n",
                 static_cast<unsigned long long>(result.failures()), static_cast<unsigned long long>(result.checked));
    return 3;
}

int Wipe(Run& run, zd::VerifyMode mode)
{
    zd::SelectMethod(run.selection, zd::FindMethodById(kZeroWipe)->buttonId);
    run.context.verifyMode = mode;
    run.context.passes = zd::ResolveMethodPasses(kZeroWipe, {}, zd::SystemRandomSource()).value();
    const zd::WipeOutcome outcome = zd::WipeRun(run.context);
    const auto end = Clock::now();
    if (!outcome.completed || !outcome.verification) {
        std::fprintf(stderr, "verify_bench: the wipe did not complete\n");
        return 1;
    }
    if (mode == zd::VerifyMode::Full) {
        const double seconds = std::chrono::duration<double>(end - run.notifier.verifyStart).count();
        std::printf("%.3f s %.0f MB/s\n", seconds,
                    static_cast<double>(run.device.sectorCount) * zd::kSectorBytes / 1e6 / seconds);
    }
    return Result(*outcome.verification);
}

// Compares with what a Zero Wipe leaves, the pattern of its only pass.
int ReadBack(Run& run)
{
    const auto passes = zd::ResolveMethodPasses(kZeroWipe, {}, zd::SystemRandomSource());
    const zd::PassLayout layout = zd::PassLayout::Of(run.device.sectorCount, run.device.trailingBytes);
    zd::platform::AlignedBuffer block(zd::kBlockBytes);
    zd::platform::AlignedBuffer tail(layout.tailBytes);
    zd::FillPattern(block.span(), passes->back());
    zd::FillPattern(tail.span(), passes->back());
    zd::BeginRunning(run.progress);
    return Result(zd::VerifyEverySector(run.context, block.span(), tail.span(), layout));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    Run run;
    if (!zd::OpenDevice(run.device, argv[2])) {
        std::fprintf(stderr, "verify_bench: cannot open %s: %s\n", argv[2], zd::DeviceError(run.device).c_str());
        return 1;
    }
    if (command == "read-back" && argc == 3)
        return ReadBack(run);
    if (command == "wipe" && argc == 5) {
        run.log.directory = argv[3];
        run.log.logDriveName = u"verify_bench";
        run.log.logAlgorithmName = u"Zero Wipe";
        const std::string mode = argv[4];
        if (mode == "full" || mode == "samples")
            return Wipe(run, mode == "full" ? zd::VerifyMode::Full : zd::VerifyMode::Samples);
    }
    return Usage();
}
