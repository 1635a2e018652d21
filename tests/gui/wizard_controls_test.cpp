// The drive information panel, the confirmation dialog, dialog units, the
// progress page's texts and its speed and time left.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>

#include "discovery/drive_list.h"
#include "engine/run_rate.h"
#include "pages/confirm_wnd.h"
#include "pages/custom_messages.h"
#include "pages/dialog_units.h"
#include "pages/drive_info_wnd.h"
#include "pages/gui_font.h"
#include "pages/progress_text.h"
#include "toolkit/control_id.h"

#include "gui_test_support.h"

using namespace zd::ui;

namespace {

zd::DriveEntry Entry(int32_t kind)
{
    zd::DriveEntry entry;
    entry.entryKind = kind;
    zd::SetFixedText(entry.caption, kind == zd::kEntryPhysicalDisk ? u"Samsung SSD 870 EVO 1TB" : u"/dev/sdb1");
    zd::SetFixedText(entry.displayName, u"BACKUP - /dev/sdb1");
    zd::SetFixedText(entry.sizeText, u"931.51 GB");
    zd::SetFixedText(entry.mediaType, u"Fixed hard disk media");
    zd::SetFixedText(entry.interfaceType, u"SATA");
    zd::SetFixedText(entry.fileSystem, u"ext4");
    entry.bytesPerSector = kind == zd::kEntryPhysicalDisk ? 512 : 0;
    return entry;
}

void Show(CDriveInfoWnd& panel, const zd::DriveEntry& entry, intptr_t lParam = 1)
{
    SendAppMessage(&panel, WM_SHOW_DRIVE_INFO, reinterpret_cast<uintptr_t>(&entry), lParam);
}

// The ids of the panel's visible controls.
QList<int> VisibleIds(CDriveInfoWnd& panel)
{
    QList<int> ids;
    for (QLabel* label : panel.findChildren<QLabel*>())
        if (!label->isHidden())
            ids.push_back(ControlId(*label));
    std::sort(ids.begin(), ids.end());
    return ids;
}

QString TextOf(CDriveInfoWnd& panel, int id) { return FindControl<QLabel>(panel, id)->text(); }

const ErasedDrive kLoopDisk{QStringLiteral("Loop device backup.img"), QStringLiteral("/dev/loop3"),
                            QStringLiteral("96.00 MB")};

// A run of three passes of 102,400 sectors, sampled once a second.
struct SampledRun {
    static constexpr uint64_t kTotal = 102'400;

    void Tick(uint64_t sectorsDone, int32_t passesDone, std::chrono::seconds step = std::chrono::seconds{1})
    {
        at += step;
        rate.Add({at, sectorsDone, kTotal, passesDone, 3});
    }
    QString Speed() const { return SpeedText(rate.BytesPerSecond()); }
    QString TimeLeft() const { return TimeLeftText(rate.SecondsLeft()); }

    zd::RunRate rate;
    std::chrono::milliseconds at{0};
};

} // namespace

class WizardControlsTest : public QObject {
    Q_OBJECT

private slots:
    void thePanelShowsNothingUntilItsFirstEntry()
    {
        QWidget page;
        CDriveInfoWnd panel;
        QVERIFY(panel.Create(&page));
        page.show();
        QCOMPARE(panel.findChildren<QLabel*>().size(), 12);
        QVERIFY(VisibleIds(panel).isEmpty());
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kSectorSizeLabelId), QStringLiteral("Bytes Per Sector : "));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kFileSystemLabelId), QStringLiteral("File System : "));
    }

    void aDiskShowsFiveRowsAndAVolumeFourWithTheFileSystemInTheInterfaceRow()
    {
        QWidget page;
        CDriveInfoWnd panel;
        QVERIFY(panel.Create(&page));
        panel.setGeometry(0, 100, 302, 342);
        page.show();

        const zd::DriveEntry disk = Entry(zd::kEntryPhysicalDisk);
        Show(panel, disk);
        QCOMPARE(VisibleIds(panel), (QList<int>{1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010}));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kNameValueId), QStringLiteral("Samsung SSD 870 EVO 1TB"));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kInterfaceValueId), QStringLiteral("SATA"));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kSectorSizeValueId), QStringLiteral("512"));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kSizeValueId), QStringLiteral("931.51 GB"));

        const zd::DriveEntry volume = Entry(zd::kEntryLogicalVolume);
        Show(panel, volume);
        QCOMPARE(VisibleIds(panel), (QList<int>{1001, 1002, 1003, 1004, 1007, 1008, 1011, 1012}));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kNameValueId), QStringLiteral("BACKUP - /dev/sdb1"));
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kFileSystemValueId), QStringLiteral("ext4"));
        const QRect interfaceRow = FindControl<QLabel>(panel, CDriveInfoWnd::kInterfaceLabelId)->geometry();
        QCOMPARE(FindControl<QLabel>(panel, CDriveInfoWnd::kFileSystemLabelId)->geometry().y(), interfaceRow.y());
        QCOMPARE(FindControl<QLabel>(panel, CDriveInfoWnd::kNameValueId)->geometry(), QRect(45, 0, 252, 40));
        QCOMPARE(FindControl<QLabel>(panel, CDriveInfoWnd::kSectorSizeValueId)->geometry(), QRect(95, 140, 207, 20));
    }

    void theNameShowsItsDevicePathAndMarkupFromADeviceAsText()
    {
        QWidget page;
        CDriveInfoWnd panel;
        QVERIFY(panel.Create(&page));
        panel.setGeometry(0, 100, 302, 342);
        page.show();
        zd::DriveEntry disk = Entry(zd::kEntryPhysicalDisk);
        zd::SetFixedText(disk.caption, u"<b>X</b>");
        zd::SetFixedText(disk.deviceName, u"/dev/sdc");
        zd::SetFixedText(disk.interfaceType, u"<img src=\"/etc/shadow\">");
        Show(panel, disk);
#ifdef __linux__
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kNameValueId), QStringLiteral("<b>X</b> (/dev/sdc)"));
#endif
        for (const int id : {CDriveInfoWnd::kNameValueId, CDriveInfoWnd::kInterfaceValueId})
            QVERIFY2(test::ShowsMarkupAsText(*FindControl<QLabel>(panel, id)), qPrintable(TextOf(panel, id)));
    }

    void theTextsAreCopiedAndLParamZeroHidesEverythingUntilTheNextEntry()
    {
        QWidget page;
        CDriveInfoWnd panel;
        QVERIFY(panel.Create(&page));
        page.show();
        {
            const zd::DriveEntry disk = Entry(zd::kEntryPhysicalDisk);
            Show(panel, disk);
        } // the entry is gone; the panel keeps its texts
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kMediaTypeValueId), QStringLiteral("Fixed hard disk media"));

        Show(panel, zd::DriveEntry{}, 0);
        QVERIFY(VisibleIds(panel).isEmpty());

        zd::DriveEntry noSize = Entry(zd::kEntryPhysicalDisk);
        zd::SetFixedText(noSize.sizeText, u"");
        Show(panel, noSize);
        QCOMPARE(VisibleIds(panel).size(), 10);
        QCOMPARE(TextOf(panel, CDriveInfoWnd::kSizeValueId), QString());
    }

    void dialogUnitsScaleByAQuarterOfTheAverageWidthAndAnEighthOfTheHeight()
    {
        QCOMPARE(DialogUnitsToPixels({197, 76, 50, 14}, {6, 13}), QRect(296, 124, 75, 23));
        QCOMPARE(DialogUnitsToPixels({0, 0, 309, 92}, {6, 13}), QRect(0, 0, 464, 150));
        // The default GUI font measures as the Windows dialog font does at
        // 96 dpi, which the pages' fixed layouts are made for.
        const DialogBaseUnits base = BaseUnitsOf(DefaultGuiFont());
        QCOMPARE(base.width, 6);
        QCOMPARE(base.height, 13);

        // One line more than the template: the drive's, above the prompt.
        CConfirmWnd dialog(kLoopDisk);
        QCOMPARE(dialog.size(), DialogUnitsToPixels({0, 0, 309, 104}, base).size());
        QCOMPARE(dialog.DriveLine()->geometry(), DialogUnitsToPixels({7, 37, 295, 8}, base));
        QCOMPARE(dialog.OkButton()->geometry(), DialogUnitsToPixels({197, 88, 50, 14}, base));
        QCOMPARE(dialog.InputBox()->geometry(), DialogUnitsToPixels({108, 64, 70, 12}, base));
        QCOMPARE(dialog.StatusBox()->geometry(), DialogUnitsToPixels({189, 68, 91, 14}, base));
    }

    void theDialogNamesTheDriveAboveThePromptAsPlainText()
    {
        CConfirmWnd loop(kLoopDisk);
        QCOMPARE(loop.DriveLine()->text(), QStringLiteral("Loop device backup.img \u2014 /dev/loop3 \u2014 96.00 MB"));

        // A name that shows the path already; markup from a volume label.
        CConfirmWnd volume(
            {QStringLiteral("<b>X</b> - /dev/sdb1"), QStringLiteral("/dev/sdb1"), QStringLiteral("28.65 GB")});
        QCOMPARE(volume.DriveLine()->text(), QStringLiteral("<b>X</b> - /dev/sdb1 \u2014 28.65 GB"));
        QVERIFY(test::ShowsMarkupAsText(*volume.DriveLine()));

        // A name too long for the line gives way; the path and size stay whole.
        CConfirmWnd longName({QString(300, u'W'), QStringLiteral("/dev/sdc"), QStringLiteral("1.82 GB")});
        QLabel& line = *longName.DriveLine();
        QVERIFY(line.text().endsWith(QStringLiteral(" \u2014 /dev/sdc \u2014 1.82 GB")));
        QVERIFY(line.fontMetrics().horizontalAdvance(line.text()) <= line.width());
    }

    void typedLowerCaseBecomesConfirmAndEnablesOk()
    {
        CConfirmWnd dialog(kLoopDisk);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(!dialog.OkButton()->isEnabled());
        QCOMPARE(QApplication::focusWidget(), dialog.CancelButton());
        QTest::mouseClick(dialog.InputBox(), Qt::LeftButton);
        QTest::keyClicks(dialog.InputBox(), QStringLiteral("confirm"));
        QCOMPARE(dialog.InputBox()->text(), QStringLiteral("CONFIRM"));
        QVERIFY(dialog.OkButton()->isEnabled());
        QCOMPARE(dialog.StatusBox()->text(), QStringLiteral("String MATCHED"));

        QTest::keyClick(dialog.InputBox(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void anyOtherTextKeepsOkDisabledAndEmptyingClearsTheStatus()
    {
        for (const QString& typed : {QStringLiteral(" confirm"), QStringLiteral("confirm "),
                                     QStringLiteral("confirmed"), QStringLiteral("conf")}) {
            CConfirmWnd dialog(kLoopDisk);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QTest::mouseClick(dialog.InputBox(), Qt::LeftButton);
            QTest::keyClicks(dialog.InputBox(), typed);
            QVERIFY2(!dialog.OkButton()->isEnabled(), qPrintable(typed));
            QCOMPARE(dialog.StatusBox()->text(), QStringLiteral("String NOT MATCHED"));
            // Enter on the unmatched word does not confirm.
            QTest::keyClick(dialog.InputBox(), Qt::Key_Return);
            QVERIFY(dialog.isVisible());

            dialog.InputBox()->selectAll();
            QTest::keyClick(dialog.InputBox(), Qt::Key_Backspace);
            QCOMPARE(dialog.StatusBox()->text(), QString());
            QVERIFY(!dialog.OkButton()->isEnabled());
        }
    }

    void escapeAndTheCloseBoxGiveCancelAndOkGivesOk()
    {
        QCOMPARE(RunDialog([](CConfirmWnd& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }),
                 CConfirmWnd::kIdCancel);
        QCOMPARE(RunDialog([](CConfirmWnd& dialog) { dialog.close(); }), CConfirmWnd::kIdCancel);
        QCOMPARE(RunDialog([](CConfirmWnd& dialog) {
                     QTest::keyClicks(dialog.InputBox(), QStringLiteral("confirm"));
                     QTest::keyClick(&dialog, Qt::Key_Escape);
                 }),
                 CConfirmWnd::kIdCancel);
        QCOMPARE(RunDialog([](CConfirmWnd& dialog) {
                     QTest::keyClicks(dialog.InputBox(), QStringLiteral("CoNfIrM"));
                     QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
                 }),
                 CConfirmWnd::kIdOk);
    }

    void thePercentageIsDividedFirstAndTruncated()
    {
        QCOMPARE(ProgressPercent(29, 100), 28);
        QCOMPARE(ProgressPercent(0, 100), 0);
        QCOMPARE(ProgressPercent(100, 100), 100);
        QCOMPARE(ProgressPercent(5, 0), 0);
        QCOMPARE(ProgressPercent(3'999'999'999ull, 4'000'000'000ull), 99);
        QCOMPARE(PercentText(28), QStringLiteral("28 %"));
        QCOMPARE(PassText(0, 3), QStringLiteral("0 / 3 Pass completed..."));
    }

    void elapsedTimeKeepsEveryHourDigitAndTwoDigitsAtLeast()
    {
        QCOMPARE(ElapsedText(100 * 3600 + 2 * 60 + 3), QStringLiteral("100:02:03"));
        QCOMPARE(ElapsedText(59), QStringLiteral("00:00:59"));
        QCOMPARE(ElapsedText(3600), QStringLiteral("01:00:00"));
        QCOMPARE(ElapsedText(-5), QStringLiteral("00:00:00"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(ClockText(0)).hasMatch());
    }

    void theSizeReadsAsSectorsAndInTheDriveListsUnits()
    {
        QCOMPARE(SectorCountText(131072), QStringLiteral("131072 (64.00 MB)"));
        QCOMPARE(SectorCountText(5'000'000'000ull), QStringLiteral("5000000000 (2384.19 GB)"));
        QCOMPARE(SectorCountText(2), QStringLiteral("2"));
    }

    void speedAndTimeLeftCoverEveryPassAndStepOverPassBoundaries()
    {
        // 20,480 sectors a second: 10 MB/s.
        SampledRun run;
        run.Tick(0, 0);
        QCOMPARE(run.Speed(), QStringLiteral("--"));
        QCOMPARE(run.TimeLeft(), QStringLiteral("--:--:--"));
        run.Tick(20480, 0);
        run.Tick(40960, 0);
        QCOMPARE(run.Speed(), QStringLiteral("10.00 MB/s"));
        // Two passes and 61,440 sectors: 130 MB.
        QCOMPARE(run.TimeLeft(), QStringLiteral("00:00:13"));

        // The second pass starts over from 0: the steps across are not
        // measured, neither as a drop nor as a whole pass in a second.
        run.Tick(61440, 0);
        run.Tick(81920, 0);
        run.Tick(102400, 0);
        run.Tick(102400, 1);
        run.Tick(20480, 1);
        run.Tick(40960, 1);
        QCOMPARE(run.Speed(), QStringLiteral("10.00 MB/s"));
        QCOMPARE(run.TimeLeft(), QStringLiteral("00:00:08"));

        // A minute without ticks (the cancel question) is not measured; ten
        // seconds at another speed leave the earlier one behind.
        run.Tick(45056, 1, std::chrono::seconds{60});
        QCOMPARE(run.Speed(), QStringLiteral("10.00 MB/s"));
        for (uint64_t done = 45056; done < 45056 + 10 * 4096; done += 4096)
            run.Tick(done + 4096, 1);
        QCOMPARE(run.Speed(), QStringLiteral("2.00 MB/s"));
    }

    void aStalledRunHasNoTimeLeftAndAWrittenOneNone()
    {
        SampledRun stalled;
        for (int i = 0; i < 15; ++i)
            stalled.Tick(20480, 0);
        QCOMPARE(stalled.Speed(), QStringLiteral("0.00 MB/s"));
        QCOMPARE(stalled.TimeLeft(), QStringLiteral("--:--:--"));

        // Written to its end, then verified: no time left, the speed as it
        // was while writing.
        SampledRun done;
        done.Tick(SampledRun::kTotal - 20480, 2);
        done.Tick(SampledRun::kTotal, 2);
        done.Tick(SampledRun::kTotal, 3);
        done.Tick(SampledRun::kTotal, 3);
        QCOMPARE(done.TimeLeft(), QStringLiteral("00:00:00"));
        QCOMPARE(done.Speed(), QStringLiteral("10.00 MB/s"));
    }

private:
    // Runs a dialog modally while the action works on it.
    static int RunDialog(const std::function<void(CConfirmWnd&)>& action)
    {
        CConfirmWnd dialog(kLoopDisk);
        QTimer::singleShot(0, &dialog, [&] { action(dialog); });
        return dialog.DoModal();
    }
};

QTEST_MAIN(WizardControlsTest)
#include "wizard_controls_test.moc"
