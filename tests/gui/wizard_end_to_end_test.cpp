// Whole wipes through the wizard, from the home page back to it, on loop
// devices the tests attach over files of their own: a disk, a mounted
// volume, and a run cancelled in its second pass.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "gui_test_support.h"
#include "loop_device_qtest.h"
#include "pages/custom_messages.h"
#include "pages/drive_list_wnd.h"
#include "pages/home_wnd.h"
#include "pages/process_wnd.h"
#include "toolkit/control_id.h"
#include "toolkit/movan_button.h"
#include "wizard_test_support.h"

using namespace zd::ui;
using namespace zd::ui::test;

namespace {

constexpr int kDodM = 3006;
constexpr std::size_t kBlockBytes = 262144;

std::string ReadBytes(const std::string& file, std::size_t from = 0)
{
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Fill(const std::string& file, std::size_t bytes, char value)
{
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out << std::string(bytes, value);
}

// DOD M ends with a pseudo-random block (bytes below 200) written at every
// block position.
bool HoldsPseudoRandomBlocks(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() % kBlockBytes != 0)
        return false;
    const std::string first = bytes.substr(0, kBlockBytes);
    if (first.find_first_not_of(first[0]) == std::string::npos)
        return false;
    for (const char c : first)
        if (static_cast<unsigned char>(c) >= 200)
            return false;
    for (std::size_t at = kBlockBytes; at < bytes.size(); at += kBlockBytes)
        if (bytes.compare(at, kBlockBytes, first) != 0)
            return false;
    return true;
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The progress page, pressing Cancel itself when it is told pass 1 is done.
class CancellingProcessWnd : public CProcessWnd {
public:
    using CProcessWnd::CProcessWnd;
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        const intptr_t result = CProcessWnd::HandleAppMessage(message, wParam, lParam);
        if (message == WM_PASS_COMPLETED && !cancelled_ && zd::g_wipeSelection.get()->passesDone.load() == 1) {
            cancelled_ = true;
            CancelButton()->click();
        }
        return result;
    }

private:
    bool cancelled_ = false;
};

class Wizard {
public:
    explicit Wizard(bool cancelInPassTwo = false) : shown_(Pages(cancelInPassTwo)) {}

    // Home page, then the tile of a kind, with its drives discovered.
    CDriveListWnd* Choose(int tileId)
    {
        FindControl<QTRN_CMovanButton>(shown_.Frame(), tileId)->click();
        FinishDriveDiscovery();
        return qobject_cast<CDriveListWnd*>(shown_.PageHost().CurrentPage());
    }

    // Selects the listed drive that matches, or returns false.
    bool Select(CDriveListWnd& page, const std::function<bool(const zd::DriveEntry&)>& matches)
    {
        QComboBox& combo = *page.DriveCombo();
        for (int i = 0; i < combo.count(); ++i) {
            const zd::DriveEntry& entry = zd::g_driveList.at(combo.itemData(i).toULongLong());
            if (matches(entry)) {
                combo.setCurrentIndex(i);
                return true;
            }
        }
        return false;
    }

    // Method, Next, "confirm", OK: the run starts.
    void Confirm(CDriveListWnd& page, int methodId)
    {
        FindControl<QRadioButton>(page, methodId)->click();
        ConfirmDialogDriver driver([](CConfirmWnd& dialog) {
            QTest::keyClicks(dialog.InputBox(), QStringLiteral("confirm"));
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        FindControl<QTRN_CMovanButton>(page, CDriveListWnd::kNextId)->click();
    }

    bool AtHome() { return shown_.PageHost().CurrentPageKind() == PageKind::Home; }
    std::optional<PageKind> CurrentPageKind() { return shown_.PageHost().CurrentPageKind(); }
    std::filesystem::path LogPath(const std::string& name)
    {
        return logs_.filePath(QString::fromStdString(name)).toStdString();
    }
    LogViewerRecorder& Viewer() { return viewer_; }

private:
    PageFactory Pages(bool cancelInPassTwo)
    {
        WizardOptions options;
        options.logDirectory = logs_.path().toStdString();
        options.showLog = viewer_.Viewer();
        PageFactory pages = ProgramPages(options);
        if (!cancelInPassTwo)
            return pages;
        pages.make = [make = pages.make, options](PageKind kind, CActiveWnd& host) -> std::unique_ptr<QWidget> {
            if (kind != PageKind::Progress)
                return make(kind, host);
            auto page = std::make_unique<CancellingProcessWnd>(options);
            return page->Create(&host) ? std::move(page) : nullptr;
        };
        return pages;
    }

    QTemporaryDir logs_;
    LogViewerRecorder viewer_;
    ShownFrame shown_;
};

bool IsDevice(const zd::DriveEntry& entry, const std::string& device)
{
    return zd::Utf16ToUtf8(zd::FixedTextView(entry.deviceName)) == device;
}

} // namespace

class WizardEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    // The application object makes it once, before any page.
    void initTestCase() { zd::g_wipeProgress.Create(); }

    void cleanup()
    {
        zd::ReleaseWipeJob();
        zd::ClearDriveList();
        zd::g_wipeSelection.Release();
    }

    void aPhysicalLoopDiskIsWipedFromHomeToHome()
    {
        ZD_QREQUIRE_LOOP_DEVICES();
        constexpr std::size_t kBytes = 32 * kBlockBytes;
        zd::test::LoopOptions options;
        options.sizeBytes = kBytes;
        zd::test::LoopDevice loop(options);
        QVERIFY(loop.attached());
        Fill(loop.backingFile(), kBytes, 0x5A);

        Wizard wizard;
        AnsweringBoxes boxes;
        CDriveListWnd* page = wizard.Choose(CHomeWnd::kPhysicalDrivesId);
        QVERIFY(page);
        QVERIFY(wizard.Select(*page, [&](const zd::DriveEntry& entry) { return IsDevice(entry, loop.path()); }));
        const zd::DriveEntry& chosen = zd::g_driveList.at(page->DriveCombo()->currentData().toULongLong());
        QVERIFY(IsDevice(chosen, loop.path()));
        const std::string caption = zd::Utf16ToUtf8(zd::FixedTextView(chosen.caption));
        QVERIFY(caption.starts_with("Loop device zd-test-"));

        wizard.Confirm(*page, kDodM);
        QCOMPARE(wizard.CurrentPageKind(), std::optional(PageKind::Progress));
        QTRY_VERIFY_WITH_TIMEOUT(wizard.AtHome(), 60000);

        QCOMPARE(boxes.Texts(), std::vector<QString>{QStringLiteral("Operation completed.")});
        QVERIFY(!zd::g_wipeJob.get());
        QVERIFY(HoldsPseudoRandomBlocks(ReadBytes(loop.backingFile())));

        const std::filesystem::path log = wizard.LogPath("Drive__" + caption + ".log");
        QCOMPARE(wizard.Viewer().Logs(), std::vector<std::filesystem::path>{log});
        const std::string text = ReadBytes(log.string());
        QVERIFY(text.starts_with("Log File of Zeza Dera\r\n"));
        QVERIFY(text.find("Drive Name: " + caption + "\r\nAlgorithm used: DOD M\r\n") != std::string::npos);
        QVERIFY(text.find("Start Sector  :  0\r\nEnd Sector :  16383\r\n") != std::string::npos);
        QCOMPARE(Count(text, "Pass Started..."), std::size_t{3});
        for (const char* done :
             {"1/3 Pass Completed.\r\n16384 Sector(s) wiped.", "2/3 Pass Completed.\r\n16384 Sector(s) wiped.",
              "3/3 Pass Completed.\r\n16384 Sector(s) wiped."})
            QVERIFY2(text.find(done) != std::string::npos, done);
        QCOMPARE(Count(text, "\n"), Count(text, "\r\n"));

        // The erasure record beside the log, and its certificate once the
        // GUI thread has drawn it.
        const std::string record = ReadBytes(wizard.LogPath("Drive__" + caption + ".json").string());
        QVERIFY(record.find("\"outcome\": \"Erased\"") != std::string::npos);
        QVERIFY(record.find("\"path\": \"" + loop.path() + "\"") != std::string::npos);
        QTRY_VERIFY(std::filesystem::exists(wizard.LogPath("Drive__" + caption + ".pdf")));
    }

    void aMountedLabelledPartitionIsUnmountedAndWipedAsALogicalDrive()
    {
        ZD_QREQUIRE_LOOP_DEVICES();
        constexpr std::size_t kBytes = 16 << 20;
        constexpr std::size_t kPartitionStart = 2048 * 512;
        zd::test::LoopOptions options;
        options.sizeBytes = kBytes;
        options.partitions = {{2048, (kBytes - kPartitionStart) / 512}};
        zd::test::LoopDevice loop(options);
        QVERIFY(loop.attached());
        const std::string partition = loop.partitionPath(1);
        QVERIFY(zd::test::MakeExt4(partition, "ZDWIPE"));
        zd::test::TempMount mount(partition, "ext4");
        QVERIFY(mount.mounted());

        Wizard wizard;
        AnsweringBoxes boxes;
        CDriveListWnd* page = wizard.Choose(CHomeWnd::kLogicalDrivesId);
        QVERIFY(page);
        QVERIFY(wizard.Select(*page, [&](const zd::DriveEntry& entry) {
            return zd::Utf16ToUtf8(zd::FixedTextView(entry.caption)) == partition;
        }));
        QCOMPARE(page->DriveCombo()->currentText(), QString::fromStdString("ZDWIPE - " + partition));

        wizard.Confirm(*page, kDodM);
        QTRY_VERIFY_WITH_TIMEOUT(wizard.AtHome(), 60000);

        QCOMPARE(boxes.Texts(), std::vector<QString>{QStringLiteral("Operation completed.")});
        QVERIFY(!zd::test::IsMountPoint(mount.directory()));
        const std::string bytes = ReadBytes(loop.backingFile());
        QVERIFY(HoldsPseudoRandomBlocks(bytes.substr(kPartitionStart)));
        // The partition table before the volume is untouched.
        QCOMPARE(static_cast<unsigned char>(bytes[510]), 0x55);
        QCOMPARE(static_cast<unsigned char>(bytes[511]), 0xAA);

        const std::string kernelName = std::filesystem::path(partition).filename().string();
        const std::filesystem::path log = wizard.LogPath("Drive__" + kernelName + ".log");
        QCOMPARE(wizard.Viewer().Logs(), std::vector<std::filesystem::path>{log});
        const std::string text = ReadBytes(log.string());
        QVERIFY(text.find("Drive Name: " + kernelName + "\r\n") != std::string::npos);
        QVERIFY(text.find("3/3 Pass Completed.") != std::string::npos);
    }

    void aRunCancelledInPassTwoEndsTerminatedWithACancelledBlock()
    {
        ZD_QREQUIRE_LOOP_DEVICES();
        constexpr std::size_t kBytes = 32 * kBlockBytes;
        zd::test::LoopOptions options;
        options.sizeBytes = kBytes;
        zd::test::LoopDevice loop(options);
        QVERIFY(loop.attached());
        Fill(loop.backingFile(), kBytes, 0x5A);

        Wizard wizard(true);
        AnsweringBoxes boxes(MessageAnswer::Yes);
        CDriveListWnd* page = wizard.Choose(CHomeWnd::kPhysicalDrivesId);
        QVERIFY(page);
        QVERIFY(wizard.Select(*page, [&](const zd::DriveEntry& entry) { return IsDevice(entry, loop.path()); }));
        const std::string caption = zd::Utf16ToUtf8(
            zd::FixedTextView(zd::g_driveList.at(page->DriveCombo()->currentData().toULongLong()).caption));
        wizard.Confirm(*page, kDodM);
        QTRY_VERIFY_WITH_TIMEOUT(wizard.AtHome(), 60000);

        QCOMPARE(boxes.Texts(),
                 (std::vector<QString>{QStringLiteral("Are you sure? "), QStringLiteral("Operation terminated.")}));
        const std::string text = ReadBytes(wizard.LogPath("Drive__" + caption + ".log").string());
        QVERIFY(text.find("1/3 Pass Completed.") != std::string::npos);
        QVERIFY(text.find("1/3Pass Started...") != std::string::npos);
        QVERIFY(text.find("1/3 Pass Cancelled.") != std::string::npos);
        QVERIFY(text.find("2/3 Pass Completed.") == std::string::npos);
        // Nothing of pass 2 was written: the disk holds pass 1's one byte.
        const std::string bytes = ReadBytes(loop.backingFile());
        QCOMPARE(bytes.size(), kBytes);
        QVERIFY(bytes[0] != 0x5A || bytes.find_first_not_of(bytes[0]) == std::string::npos);
        QVERIFY(bytes.find_first_not_of(bytes[0]) == std::string::npos);
    }
};

QTEST_MAIN(WizardEndToEndTest)
#include "wizard_end_to_end_test.moc"
