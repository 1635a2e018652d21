// A run log in a directory of the test's own.
#pragma once

#include "engine/run_log.h"
#include "wipe_fixture.h"

namespace zd::test {

class LogFile : public ::testing::Test {
protected:
    TempDirectory directory;
    RunLog log{directory.path(), u"Disk\r\nAlgorithm used - forged", u"Zero Wipe"};
    DeviceRecord device;
};

} // namespace zd::test
