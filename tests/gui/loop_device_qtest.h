// Loop devices in Qt tests: the skip (or, where devices are required, the
// failure) when they cannot be attached here.
#pragma once

#include <QTest>
#include <string>

#include "tests/support/loop_device.h"

#define ZD_QREQUIRE_LOOP_DEVICES()                                                                                     \
    do {                                                                                                               \
        const std::string reason_ = ::zd::test::LoopDeviceUnavailableReason();                                         \
        if (!reason_.empty()) {                                                                                        \
            if (::zd::test::DevicesRequired())                                                                         \
                QFAIL(("loop devices are required here: " + reason_).c_str());                                         \
            QSKIP(reason_.c_str());                                                                                    \
        }                                                                                                              \
    } while (0)
