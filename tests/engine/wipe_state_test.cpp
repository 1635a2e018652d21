#include "engine/wipe_state.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/device_access.h"
#include "platform/fake/fake_device.h"

namespace zd {
namespace {

std::u16string Text(const FixedText& field) { return std::u16string(FixedTextView(field)); }

TEST(OverwriteMethods, ButtonsAndIdsRunInStepAndNamesAreUnique)
{
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < kOverwriteMethods.size(); ++i) {
        const OverwriteMethod& method = kOverwriteMethods[i];
        EXPECT_EQ(method.algorithmId, static_cast<int32_t>(i + 1));
        EXPECT_EQ(method.buttonId, 3001 + static_cast<int32_t>(i));
        names.insert(method.name);
    }
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(FindMethodById(15)->name, "Gutman Method");
    EXPECT_EQ(FindMethodById(15)->passCount, 35);
    EXPECT_EQ(FindMethodById(11)->name, "DOD 5220.22-M(ECE)");
    EXPECT_EQ(FindMethodByButton(3009)->name, "NAVSO P-5239-26");
    EXPECT_EQ(FindMethodById(0), nullptr);
    EXPECT_EQ(FindMethodByButton(3017), nullptr);
}

TEST(WipeSelection, UntouchedSelectionRunsZeroWipeOnce)
{
    WipeSelection selection;
    EXPECT_EQ(selection.algorithmId, 1);
    EXPECT_EQ(Text(selection.algorithmName), u"Zero Wipe");
    EXPECT_EQ(selection.passCount, 1);
    EXPECT_EQ(selection.passesDone, 0);
    EXPECT_EQ(selection.selectedSectorCount, 0u);
    EXPECT_TRUE(Text(selection.driveName).empty());
    EXPECT_TRUE(selection.customString.empty());
}

TEST(WipeSelection, MethodButtonsStoreTheRowAndOnlyCustomEnablesTheString)
{
    WipeSelection selection;
    selection.passesDone = 2;
    EXPECT_EQ(SelectMethod(selection, 3015), false);
    EXPECT_EQ(selection.algorithmId, 15);
    EXPECT_EQ(Text(selection.algorithmName), u"Gutman Method");
    EXPECT_EQ(selection.passCount, 35);
    EXPECT_EQ(selection.passesDone, 0);

    EXPECT_EQ(SelectMethod(selection, 3016), true);
    EXPECT_EQ(Text(selection.algorithmName), u"Custom Wiping");

    EXPECT_EQ(SelectMethod(selection, 3003), false);
    EXPECT_EQ(Text(selection.algorithmName), u"Pseudo Random Zero") << "a shorter name must not keep the old tail";

    EXPECT_EQ(SelectMethod(selection, 42), std::nullopt);
    EXPECT_EQ(selection.algorithmId, 3) << "an unknown button changes nothing";
}

TEST(Holders, CreatingASelectionAgainStartsFresh)
{
    WipeSelection& first = g_wipeSelection.Create();
    SelectMethod(first, 3006);
    first.customString = u"ABCDEFGH";
    WipeSelection& second = g_wipeSelection.Create();
    EXPECT_EQ(g_wipeSelection.get(), &second);
    EXPECT_EQ(second.algorithmId, 1);
    EXPECT_TRUE(second.customString.empty());
    g_wipeSelection.Release();
    EXPECT_EQ(g_wipeSelection.get(), nullptr);
}

TEST(Holders, WipeJobOwnsTheDeviceAndClosesItOnRelease)
{
    platform::FakeDeviceBackend backend;
    auto disk = std::make_shared<platform::FakeDisk>(1'000'000);
    backend.Add("disk0", platform::PhysicalDisk, disk);

    auto record = std::make_unique<DeviceRecord>();
    ASSERT_TRUE(OpenDevice(*record, "disk0", backend));
    EXPECT_EQ(disk->openHandles, 1);

    WipeSelection selection;
    WipeJob& job = CreateWipeJob(std::move(record), selection);
    EXPECT_EQ(g_wipeJob.get(), &job);
    EXPECT_EQ(selection.selectedSectorCount, 1953u);

    ReleaseWipeJob();
    EXPECT_EQ(g_wipeJob.get(), nullptr);
    EXPECT_EQ(disk->openHandles, 0);
    ReleaseWipeJob(); // releasing an absent job is harmless
    EXPECT_EQ(g_wipeJob.get(), nullptr);
}

TEST(Holders, CancelledConfirmationClosesTheDeviceWithoutAJob)
{
    platform::FakeDeviceBackend backend;
    auto disk = std::make_shared<platform::FakeDisk>(4096);
    backend.Add("disk1", platform::PhysicalDisk, disk);
    auto record = std::make_unique<DeviceRecord>();
    ASSERT_TRUE(OpenDevice(*record, "disk1", backend));
    CloseDevice(record);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(disk->openHandles, 0);
    EXPECT_EQ(g_wipeJob.get(), nullptr);
}

} // namespace
} // namespace zd
