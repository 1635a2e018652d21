// The drive page: its controls, the methods, the drive list from the
// discovery thread, and Next's checks, device and confirmation.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "gui_test_support.h"
#include "loop_device_qtest.h"
#include "pages/custom_messages.h"
#include "pages/drive_info_wnd.h"
#include "pages/drive_list_wnd.h"
#include "pages/process_wnd.h"
#include "platform/system_volume.h"
#include "toolkit/control_id.h"
#include "toolkit/movan_button.h"
#include "wizard_test_support.h"

using namespace zd::ui;
using namespace zd::ui::test;

namespace {

const QString kSelectDrive = QStringLiteral("Please select a drive.");
const QString kShortString = QStringLiteral("Entered string is less than 8 characters.");
const QString kSystemVolume = QStringLiteral(
    "You can not wipe this volume. This volume contains Operating System. Please choose another volume.");

// The main window with the program's pages on made-up drives (or a source
// of the test's own), showing the drive page of one kind.
class DrivePageFrame {
public:
    DrivePageFrame(WizardOptions options, bool physical) : shown_(ProgramPages(std::move(options))) { Visit(physical); }

    void Visit(bool physical)
    {
        shown_.PageHost().SetPhysicalFlag(physical ? 1 : 0);
        SendAppMessage(&shown_.PageHost(), WM_SHOW_DRIVE_PAGE);
    }

    CDriveListWnd* Page() { return qobject_cast<CDriveListWnd*>(shown_.PageHost().CurrentPage()); }
    CActiveWnd& Host() { return shown_.PageHost(); }
    CMainFrame& Frame() { return shown_.Frame(); }
    QRadioButton* Method(int id) { return FindControl<QRadioButton>(*Page(), id); }
    QLineEdit* CustomEdit() { return FindControl<QLineEdit>(*Page(), CDriveListWnd::kCustomEditId); }
    QLabel* CustomHint() { return FindControl<QLabel>(*Page(), CDriveListWnd::kCustomHintId); }
    QTRN_CMovanButton* Button(int id) { return FindControl<QTRN_CMovanButton>(*Page(), id); }
    void Next() { Button(CDriveListWnd::kNextId)->click(); }

private:
    ShownFrame shown_;
};

WizardOptions On(FakeDriveSource drives)
{
    WizardOptions options;
    options.driveSource = SourceOf(std::move(drives));
    options.showLog = [](const std::filesystem::path&) {};
    return options;
}

QString InfoName(CDriveListWnd& page)
{
    return FindControl<QLabel>(*page.InfoPanel(), CDriveInfoWnd::kNameValueId)->text();
}

// How many of this process's descriptors refer to the file.
int DescriptorsOf(const std::filesystem::path& file)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) == file)
            ++count;
    }
    return count;
}

// An image file standing in for a disk: the drive page opens it as one.
std::filesystem::path MakeImage(const QTemporaryDir& directory, std::size_t bytes, char fill)
{
    const std::filesystem::path file = directory.filePath(QStringLiteral("disk.img")).toStdString();
    std::ofstream(file, std::ios::binary) << std::string(bytes, fill);
    return file;
}

// Sets a variable of the environment for the lifetime of the object.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::string& value) : name_(name)
    {
        qputenv(name_, QByteArray::fromStdString(value));
    }
    ~EnvironmentOverride() { qunsetenv(name_); }

private:
    const char* name_;
};

} // namespace

class DrivePageTest : public QObject {
    Q_OBJECT

private slots:
    // The application object makes it once, before any page.
    void initTestCase() { zd::g_wipeProgress.Create(); }

    void cleanup()
    {
        FinishDriveDiscovery();
        zd::ReleaseWipeJob();
        zd::ClearDriveList();
        zd::g_wipeSelection.Release();
        zd::g_runLog = {};
    }

    void aNewVisitChecksZeroWipeWithTheCustomControlsDisabled()
    {
        DrivePageFrame shown(On({}), true);
        for (int i = 0; i < 16; ++i) {
            QRadioButton* method = shown.Method(3001 + i);
            QVERIFY(method && method->isEnabled());
            QCOMPARE(method->text().toStdString(), std::string(zd::kOverwriteMethods[i].name));
            QCOMPARE(method->isChecked(), i == 0);
        }
        QVERIFY(!shown.CustomHint()->isEnabled());
        QVERIFY(!shown.CustomEdit()->isEnabled());
        QCOMPARE(shown.CustomEdit()->text(), QString());
        QCOMPARE(zd::g_wipeSelection.get()->algorithmId, 1);
        QCOMPARE(zd::g_wipeSelection.get()->passCount, 1);

        // A later visit starts over with a selection of its own.
        shown.Method(3006)->click();
        QCOMPARE(zd::g_wipeSelection.get()->algorithmId, 6);
        shown.Button(CDriveListWnd::kBackId)->click();
        QCOMPARE(shown.Host().CurrentPageKind(), PageKind::Home);
        shown.Visit(false);
        QVERIFY(shown.Method(3001)->isChecked());
        QCOMPARE(zd::g_wipeSelection.get()->algorithmId, 1);
        QCOMPARE(zd::g_wipeSelection.get()->passCount, 1);
    }

    void customWipingEnablesItsControlsAndAnotherMethodDisablesThemKeepingTheText()
    {
        DrivePageFrame shown(On({}), true);
        shown.Method(CDriveListWnd::kCustomMethodButtonId)->click();
        QVERIFY(shown.CustomHint()->isEnabled());
        QVERIFY(shown.CustomEdit()->isEnabled());
        QCOMPARE(zd::g_wipeSelection.get()->algorithmId, 16);
        QTest::keyClicks(shown.CustomEdit(), QStringLiteral("MAC2#WIP*"));
        QCOMPARE(shown.CustomEdit()->text(), QStringLiteral("MAC2#WIP"));

        shown.Method(3015)->click();
        QVERIFY(!shown.Method(CDriveListWnd::kCustomMethodButtonId)->isChecked());
        QVERIFY(!shown.CustomHint()->isEnabled());
        QVERIFY(!shown.CustomEdit()->isEnabled());
        QCOMPARE(shown.CustomEdit()->text(), QStringLiteral("MAC2#WIP"));
        QCOMPARE(zd::g_wipeSelection.get()->passCount, 35);
        QCOMPARE(zd::g_wipeSelection.get()->passesDone.load(), 0);
    }

    void theControlsSitWhereThePageSizePutsThem()
    {
        DrivePageFrame shown(On({}), true);
        CDriveListWnd& page = *shown.Page();
        QCOMPARE(page.size(), QSize(644, 442));
        QCOMPARE(page.DriveCombo()->geometry(), QRect(10, 30, 302, 25));
        QVERIFY(page.DriveCombo()->isEditable());
        QCOMPARE(page.InfoPanel()->geometry(), QRect(0, 100, 302, 342));
        QCOMPARE(FindControl<QLabel>(page, CDriveListWnd::kChooseLabelId)->geometry(), QRect(344, 10, 150, 20));
        const QRect groups[] = {
            {344, 25, 290, 60}, {344, 90, 290, 100}, {344, 195, 290, 60}, {344, 260, 290, 40}, {344, 305, 290, 85}};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(FindControl<QGroupBox>(page, CDriveListWnd::kFirstGroupId + i)->geometry(), groups[i]);
        const QPoint methods[] = {{354, 45},  {494, 45},  {354, 65},  {354, 110}, {494, 110}, {354, 130},
                                  {494, 130}, {354, 150}, {494, 150}, {354, 170}, {354, 215}, {494, 215},
                                  {354, 235}, {494, 235}, {354, 280}, {354, 325}};
        for (int i = 0; i < 16; ++i) {
            const QRect place = shown.Method(3001 + i)->geometry();
            QCOMPARE(place.topLeft(), methods[i]);
            QCOMPARE(place.height(), 15);
            QVERIFY(place.width() >= 120 && place.width() <= 140);
        }
        QCOMPARE(shown.CustomHint()->geometry(), QRect(354, 345, 270, 15));
        QCOMPARE(shown.CustomEdit()->geometry(), QRect(354, 365, 100, 18));
        QCOMPARE(shown.Button(CDriveListWnd::kBackId)->geometry(), QRect(499, 407, 65, 28));
        QCOMPARE(shown.Button(CDriveListWnd::kNextId)->geometry(), QRect(569, 407, 65, 28));
        QCOMPARE(shown.Button(CDriveListWnd::kNextId)->text(), QStringLiteral("Next"));

        // "Select a drive:" in red above the combo box, nothing red elsewhere.
        const QImage image = Render(page);
        const auto red = [](QColor c) { return c.red() > 200 && c.green() < 100 && c.blue() < 100; };
        QRect ink;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (red(image.pixelColor(x, y)))
                    ink |= QRect(x, y, 1, 1);
        QVERIFY(!ink.isEmpty());
        QVERIFY(QRect(10, 10, 150, 20).contains(ink));
    }

    void everyCaptionFitsItsControlInTheDefaultGuiFont()
    {
        FakeDriveSource drives;
        drives.disks = {DiskObject(u"/dev/sda", u"Disk", u"4000000000")};
        DrivePageFrame shown(On(drives), true);
        FinishDriveDiscovery();
        CDriveListWnd& page = *shown.Page();
        for (QLabel* label : page.findChildren<QLabel*>()) {
            if (label->isHidden() || label->wordWrap())
                continue;
            const int needed = label->fontMetrics().horizontalAdvance(label->text().trimmed());
            QVERIFY2(needed <= label->width(), qPrintable(label->text()));
        }
        for (QRadioButton* method : page.findChildren<QRadioButton*>())
            QVERIFY2(method->sizeHint().width() <= method->width(), qPrintable(method->text()));
    }

    void theComboListsTheDrivesInDiscoveryOrderAndShowsTheFirst()
    {
        FakeDriveSource drives;
        drives.disks = {DiskObject(u"/dev/sdc", u"Zeta disk", u"4000000000"),
                        DiskObject(u"/dev/sda", u"Alpha disk", u"8000000000"),
                        DiskObject(u"/dev/sdb", u"Mid disk", u"2000000000", u"Removable Media", u"USB")};
        drives.volumes = {VolumeObject(u"/dev/sdc1", u"DATA", u"3000000000"),
                          VolumeObject(u"/dev/sda2", u"", u"7000000000", u"vfat")};
        DrivePageFrame shown(On(drives), true);
        CDriveListWnd& page = *shown.Page();
        QCOMPARE(page.DriveCombo()->count(), 0);
        QVERIFY(FindControl<QLabel>(*page.InfoPanel(), CDriveInfoWnd::kNameValueId)->isHidden());

        FinishDriveDiscovery();
        // Where devices are named by path, each disk's follows its caption.
        const auto listed = [](const char* caption, [[maybe_unused]] const char* path) {
#ifdef __linux__
            return QStringLiteral("%1 (%2)").arg(QLatin1String(caption), QLatin1String(path));
#else
            return QString::fromLatin1(caption);
#endif
        };
        QCOMPARE(page.DriveCombo()->count(), 3);
        QCOMPARE(page.DriveCombo()->itemText(0), listed("Zeta disk", "/dev/sdc"));
        QCOMPARE(page.DriveCombo()->itemText(1), listed("Alpha disk", "/dev/sda"));
        QCOMPARE(page.DriveCombo()->itemText(2), listed("Mid disk", "/dev/sdb"));
        QCOMPARE(page.DriveCombo()->currentIndex(), 0);
        QCOMPARE(page.DriveCombo()->currentText(), listed("Zeta disk", "/dev/sdc"));
        QCOMPARE(InfoName(page), listed("Zeta disk", "/dev/sdc"));
        QCOMPARE(zd::g_driveList.size(), std::size_t{3});

        page.DriveCombo()->setCurrentIndex(2);
        QCOMPARE(InfoName(page), listed("Mid disk", "/dev/sdb"));
        QVERIFY(!FindControl<QLabel>(*page.InfoPanel(), CDriveInfoWnd::kInterfaceValueId)->isHidden());

        shown.Button(CDriveListWnd::kBackId)->click();
        QVERIFY(zd::g_driveList.empty());
        shown.Visit(false);
        FinishDriveDiscovery();
        CDriveListWnd& volumes = *shown.Page();
        QCOMPARE(volumes.DriveCombo()->count(), 2);
        QCOMPARE(volumes.DriveCombo()->itemText(0), QStringLiteral("DATA - /dev/sdc1"));
        QCOMPARE(volumes.DriveCombo()->itemText(1), QStringLiteral("Local Disk - /dev/sda2"));
        QCOMPARE(InfoName(volumes), QStringLiteral("DATA - /dev/sdc1"));
        QVERIFY(!FindControl<QLabel>(*volumes.InfoPanel(), CDriveInfoWnd::kFileSystemValueId)->isHidden());
    }

    void withNoDriveNextAsksForOneBeforeAnyOtherCheck()
    {
        DrivePageFrame shown(On({}), false);
        FinishDriveDiscovery();
        QCOMPARE(shown.Page()->DriveCombo()->count(), 0);
        QVERIFY(FindControl<QLabel>(*shown.Page()->InfoPanel(), CDriveInfoWnd::kNameLabelId)->isHidden());
        shown.Method(CDriveListWnd::kCustomMethodButtonId)->click();
        QTest::keyClicks(shown.CustomEdit(), QStringLiteral("abc"));
        AnsweringBoxes boxes;
        shown.Next();
        QCOMPARE(boxes.Texts(), std::vector<QString>{kSelectDrive});
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Information"));
        QCOMPARE(boxes.requests[0].icon, MessageIcon::Information);
        QCOMPARE(boxes.requests[0].owner, shown.Page());
        QCOMPARE(shown.Host().CurrentPageKind(), PageKind::Drive);
    }

    void aShortCustomStringIsRefusedAfterTheDriveChecksAndTheNamesStayWritten()
    {
        FakeDriveSource drives;
        drives.volumes = {VolumeObject(u"/nonexistent/zd-sdq1", u"DATA", u"3000000000")};
        DrivePageFrame shown(On(drives), false);
        FinishDriveDiscovery();
        shown.Method(CDriveListWnd::kCustomMethodButtonId)->click();
        QTest::keyClicks(shown.CustomEdit(), QStringLiteral("1234567"));
        AnsweringBoxes boxes;
        shown.Next();
        QCOMPARE(boxes.Texts(), std::vector<QString>{kShortString});
        QCOMPARE(zd::g_runLog.logDriveName, std::u16string(u"zd-sdq1"));
        QCOMPARE(zd::g_runLog.logAlgorithmName, std::u16string(u"Custom Wiping"));
        QVERIFY(zd::FixedTextView(zd::g_wipeSelection.get()->driveName) == u"DATA - /nonexistent/zd-sdq1");

        // Eight characters pass; the device that cannot be opened ends Next
        // without a word.
        QTest::keyClicks(shown.CustomEdit(), QStringLiteral("8"));
        ConfirmDialogDriver driver([](CConfirmWnd& dialog) { dialog.reject(); });
        shown.Next();
        QCOMPARE(boxes.requests.size(), std::size_t{1});
        QCOMPARE(driver.shown, 0);
        QCOMPARE(zd::g_wipeSelection.get()->customString, std::u16string(u"12345678"));
        QVERIFY(!zd::g_wipeJob.get());
    }

    void theSystemVolumeAndTheDiskBeneathItAreRefusedBeforeTheCustomString()
    {
        ZD_QREQUIRE_LOOP_DEVICES();
        zd::test::LoopOptions options;
        options.sizeBytes = 1 << 20;
        zd::test::LoopDevice loop(options);
        QVERIFY(loop.attached());
        const EnvironmentOverride system(zd::platform::kTestSystemVolumeVariable, loop.path());
        const std::u16string device = zd::Utf8ToUtf16(loop.path());

        FakeDriveSource drives;
        drives.volumes = {VolumeObject(device, u"ROOT", u"1048576")};
        drives.disks = {DiskObject(device, u"Loop system disk", u"1048576")};
        for (const bool physical : {false, true}) {
            DrivePageFrame shown(On(drives), physical);
            FinishDriveDiscovery();
            shown.Method(CDriveListWnd::kCustomMethodButtonId)->click();
            QTest::keyClicks(shown.CustomEdit(), QStringLiteral("abc"));
            AnsweringBoxes boxes;
            ConfirmDialogDriver driver([](CConfirmWnd& dialog) { dialog.reject(); });
            shown.Next();
            QCOMPARE(boxes.Texts(), std::vector<QString>{kSystemVolume});
            QCOMPARE(boxes.requests[0].caption, QStringLiteral("Warning"));
            QCOMPARE(boxes.requests[0].icon, MessageIcon::Warning);
            QCOMPARE(driver.shown, 0);
            QVERIFY(zd::g_runLog.logDriveName.empty());
            cleanup();
        }
    }

    void aLogThatCannotBeCreatedIsAWarningBeforeTheDialog()
    {
        QTemporaryDir directory;
        const std::filesystem::path image = MakeImage(directory, 1 << 20, 'x');
        FakeDriveSource drives;
        drives.disks = {DiskObject(image.u16string(), u"Image disk", u"1048576")};
        WizardOptions options = On(drives);
        options.logDirectory = directory.path().toStdString() + "/missing";
        DrivePageFrame shown(options, true);
        FinishDriveDiscovery();

        AnsweringBoxes boxes;
        std::size_t warningsBeforeTheDialog = 0;
        ConfirmDialogDriver driver([&](CConfirmWnd& dialog) {
            warningsBeforeTheDialog = boxes.requests.size();
            dialog.reject();
        });
        shown.Next();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(warningsBeforeTheDialog, std::size_t{1});
        QVERIFY(boxes.Texts()[0].startsWith(QStringLiteral("The run log cannot be created in ") +
                                            QString::fromStdString(options.logDirectory.string())));
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Warning"));
        QCOMPARE(boxes.requests[0].icon, MessageIcon::Warning);
    }

    void cancellingTheDialogClosesTheDeviceAndASecondNextOpensItAgain()
    {
        QTemporaryDir directory;
        const std::filesystem::path image = MakeImage(directory, 1 << 20, 'x');
        FakeDriveSource drives;
        drives.disks = {DiskObject(image.u16string(), u"Image disk", u"1048576")};
        DrivePageFrame shown(On(drives), true);
        FinishDriveDiscovery();

        std::vector<int> openWhileAsked;
        QString driveLine;
        ConfirmDialogDriver driver([&](CConfirmWnd& dialog) {
            openWhileAsked.push_back(DescriptorsOf(image));
            driveLine = dialog.DriveLine()->text();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        shown.Next();
        // The opened device's size in the list's units: exactly 1 MiB reads in KB.
        QCOMPARE(driveLine,
                 QStringLiteral("Image disk \u2014 %1 \u2014 1024.00 KB").arg(QString::fromStdString(image)));
        QCOMPARE(DescriptorsOf(image), 0);
        shown.Next();
        QCOMPARE(DescriptorsOf(image), 0);
        QCOMPARE(openWhileAsked.size(), std::size_t{2});
        QVERIFY(openWhileAsked[0] > 0 && openWhileAsked[1] > 0);
        QCOMPARE(shown.Host().CurrentPageKind(), PageKind::Drive);
        QVERIFY(!zd::g_wipeJob.get());
        QCOMPARE(zd::g_runLog.logDriveName, std::u16string(u"Image disk"));
        QVERIFY(zd::FixedTextView(zd::g_wipeSelection.get()->driveName) == u"Image disk");
    }

    void aSystemDriveThatCannotBeDeterminedIsSaidOnThePageAndBeforeTheDialog()
    {
        QTemporaryDir directory;
        const std::filesystem::path image = MakeImage(directory, 1 << 20, 'x');
        FakeDriveSource drives;
        drives.disks = {DiskObject(image.u16string(), u"Image disk", u"1048576")};
        const auto unknownLines = [](CDriveListWnd& page) {
            int lines = 0;
            for (const QLabel* label : page.findChildren<QLabel*>())
                lines += label->isVisible() && label->textFormat() == Qt::PlainText &&
                         label->text().contains(QStringLiteral("cannot be determined"));
            return lines;
        };
        {
            DrivePageFrame known(On(drives), true);
            QCOMPARE(unknownLines(*known.Page()), 0);
        }
        const EnvironmentOverride unknown(zd::platform::kTestUnknownSystemVariable, "1");
        DrivePageFrame shown(On(drives), true);
        FinishDriveDiscovery();
        QCOMPARE(unknownLines(*shown.Page()), 1);

        AnsweringBoxes boxes;
        ConfirmDialogDriver driver([](CConfirmWnd& dialog) { dialog.reject(); });
        int dialogsBeforeWarning = -1;
        boxes.onRequest = [&](const MessageBoxRequest&) { dialogsBeforeWarning = driver.shown; };
        shown.Next();
        QCOMPARE(boxes.requests.size(), std::size_t{1});
        QVERIFY(boxes.requests[0].text.contains(QStringLiteral("cannot be determined")));
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Warning"));
        QCOMPARE(boxes.requests[0].icon, MessageIcon::Warning);
        QCOMPARE(dialogsBeforeWarning, 0);
        QCOMPARE(driver.shown, 1);
    }

    void confirmingStartsTheRunOnTheProgressPageAndItEndsAtHome()
    {
        QTemporaryDir directory;
        const std::filesystem::path image = MakeImage(directory, (1 << 20) + 512 * 3, 'x');
        FakeDriveSource drives;
        drives.disks = {DiskObject(image.u16string(), u"Image disk", u"1050112")};
        LogViewerRecorder viewer;
        WizardOptions options = On(drives);
        options.logDirectory = directory.path().toStdString();
        options.showLog = viewer.Viewer();
        DrivePageFrame shown(options, true);
        FinishDriveDiscovery();

        AnsweringBoxes boxes;
        ConfirmDialogDriver driver([](CConfirmWnd& dialog) {
            QTest::keyClicks(dialog.InputBox(), QStringLiteral("confirm"));
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        shown.Next();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(shown.Host().CurrentPageKind(), PageKind::Progress);
        QCOMPARE(zd::g_wipeSelection.get()->selectedSectorCount, uint64_t{2051});
        QTRY_COMPARE_WITH_TIMEOUT(shown.Host().CurrentPageKind(), PageKind::Home, 30000);
        QCOMPARE(boxes.Texts(), std::vector<QString>{QStringLiteral("Operation completed.")});
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Movan Zeza Dera"));
        QCOMPARE(boxes.requests[0].owner, static_cast<QWidget*>(&shown.Frame()));
        QCOMPARE(viewer.Logs(),
                 std::vector<std::filesystem::path>{directory.path().toStdString() + "/Drive__Image disk.log"});
        std::ifstream in(image, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        QCOMPARE(bytes.size(), std::size_t{(1 << 20) + 512 * 3});
        QVERIFY(bytes.find_first_not_of('\0') == std::string::npos);
        QVERIFY(!zd::g_wipeJob.get());
        QVERIFY(zd::g_driveList.empty());
    }

    void leavingWhileDiscoveryRunsNeitherClearsItsListNorReachesTheGonePage()
    {
        FakeDriveSource drives;
        drives.disks = {DiskObject(u"/dev/sdy", u"Slow disk", u"4000000000")};
        auto gate = std::make_shared<Gate>();
        // One per visit; the discovery threads take them in turn.
        const std::vector<std::shared_ptr<std::atomic<bool>>> released{std::make_shared<std::atomic<bool>>(false),
                                                                       std::make_shared<std::atomic<bool>>(false),
                                                                       std::make_shared<std::atomic<bool>>(false)};
        auto made = std::make_shared<std::atomic<std::size_t>>(0);
        WizardOptions options = On({});
        options.driveSource = [released, made, gate, drives]() -> std::unique_ptr<zd::platform::DriveSource> {
            return std::make_unique<HeldDriveSource>(drives, gate, released.at((*made)++));
        };
        DrivePageFrame shown(options, true);
        QTRY_VERIFY(gate->Reached());

        // Back, then Home on the bar, each while an enumeration is held.
        shown.Button(CDriveListWnd::kBackId)->click();
        QCOMPARE(shown.Host().CurrentPageKind(), PageKind::Home);
        shown.Visit(true);
        QTRY_COMPARE(made->load(), std::size_t{2});
        QVERIFY(!shown.Frame().Bar()->HomeButton()->isHidden());
        shown.Frame().Bar()->HomeButton()->click();
        QCOMPARE(shown.Host().CurrentPageKind(), PageKind::Home);
        shown.Visit(true);

        gate->Open();
        FinishDriveDiscovery();
        QCOMPARE(made->load(), std::size_t{3});
        for (const auto& source : released)
            QVERIFY(source->load());
        // Only the visit still shown took its list.
        QCOMPARE(shown.Page()->DriveCombo()->count(), 1);
        QCOMPARE(zd::g_driveList.size(), std::size_t{1});
        shown.Button(CDriveListWnd::kBackId)->click();
        QVERIFY(zd::g_driveList.empty());
    }
};

QTEST_MAIN(DrivePageTest)
#include "drive_page_test.moc"
