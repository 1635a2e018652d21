// A record as a run of a SATA drive would leave it, with its run log, for
// the tests and the certificate's screenshot. The times come from a clock
// that moves on by the given step at every reading.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "record/record_files.h"
#include "record/run_recorder.h"

namespace zd::test {

struct SampleRun {
    record::ErasureRecord record; // sealed
    record::SealedRecord sealed;
};

inline platform::DeviceIdentity SampleDrive()
{
    platform::DeviceIdentity drive;
    drive.devicePath = "/dev/sdb";
    drive.deviceNumber = (8u << 8) | 16u;
    drive.model = "Samsung SSD 870 EVO 1TB";
    drive.serial = "S6PTNM0T612345X";
    drive.wwn = "0x5002538f41234567";
    drive.firmware = "SVT02B6Q";
    drive.transport = "SATA";
    drive.rotational = false;
    drive.logicalSectorSize = 512;
    drive.physicalSectorSize = 512;
    drive.sizeBytes = 1'000'204'886'016;
    return drive;
}

inline platform::HostInfo SampleHost()
{
    return {"asset-bench-03",
            "Debian GNU/Linux 12 (bookworm)",
            "Linux 6.1.0-18-amd64",
            "x86_64",
            "3f1c2b7a9d8e4f60a1b2c3d4e5f60718",
            "Dell Inc.",
            "OptiPlex 7010",
            "7XK2QH3"};
}

// A DOD M run (three passes) of the sample drive that completed and whose
// samples all matched, sealed beside its log in `directory`.
inline SampleRun WriteSampleRun(const std::filesystem::path& directory,
                                std::chrono::system_clock::duration step = std::chrono::minutes(37))
{
    auto now = std::chrono::system_clock::time_point(
                   std::chrono::sys_days(std::chrono::year(2025) / std::chrono::March / 14)) +
               std::chrono::hours(9);
    record::RunRecorder recorder([&now, step] { return now += step; });
    const uint64_t sectors = SampleDrive().sizeBytes / 512;
    recorder.Begin(SampleHost(), SampleDrive(), 6, "DOD M", {"5A", "A5", "random 0..199"}, "Jordan Mbeki");
    for (std::size_t pass = 0; pass < 3; ++pass) {
        recorder.PassStarted(pass);
        recorder.PassCompleted(pass, sectors);
    }
    recorder.Verified({record::VerifyMode::Samples, 5, 0, 0});
    SampleRun run{recorder.Finished(record::RunEnd::Completed), {}};

    const std::filesystem::path log = directory / "Drive__Samsung SSD 870 EVO 1TB.log";
    std::ofstream(log, std::ios::binary) << "Log File of Zeza Dera\r\nDrive Name: Samsung SSD 870 EVO 1TB\r\n"
                                            "Algorithm used: DOD M\r\n3/3 Pass Completed.\r\n";
    run.sealed = record::SealRecord(run.record, log).value();
    return run;
}

} // namespace zd::test
