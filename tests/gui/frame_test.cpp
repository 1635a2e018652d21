// The main window: geometry, the panels, the persistent bar, the home page
// and page switching through the messages.
#include <QPushButton>
#include <QTest>

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "gui_test_support.h"
#include "pages/custom_messages.h"
#include "pages/home_wnd.h"
#include "toolkit/control_id.h"
#include "toolkit/image_wnd.h"
#include "toolkit/movan_button.h"
#include "toolkit/png_image.h"
#include "toolkit/resources.h"

using namespace zd::ui;
using namespace zd::ui::test;

namespace {

const QRect kPhysicalTile(40, 30, 200, 160);
const QRect kLogicalTile(290, 30, 200, 160);

// A device that notes, when the wipe job releases it, whether the drive list
// had already been cleared.
class ReleaseProbe final : public zd::ui::test::InertDevice {
public:
    explicit ReleaseProbe(bool& driveListClearedFirst) : driveListClearedFirst_(driveListClearedFirst) {}
    ~ReleaseProbe() override { driveListClearedFirst_ = zd::g_driveList.empty(); }

private:
    bool& driveListClearedFirst_;
};

void AddDriveEntry() { zd::g_driveList.Append(std::make_unique<zd::DriveEntry>()); }

QTRN_CMovanButton* Tile(ShownFrame& shown, int id) { return FindControl<QTRN_CMovanButton>(shown.Frame(), id); }

} // namespace

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        zd::ReleaseWipeJob();
        zd::ClearDriveList();
    }

    void theClientAreaIsFixedAt944By482WithTheBarAboveTheBasePanel()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        QVERIFY(shown.Created());
        CMainFrame& frame = shown.Frame();
        QCOMPARE(frame.size(), QSize(944, 482));
        QCOMPARE(frame.minimumSize(), QSize(944, 482));
        QCOMPARE(frame.maximumSize(), QSize(944, 482));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Movan Zeza Dera"));
        QVERIFY(!frame.windowIcon().isNull());
        QVERIFY(!(frame.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(frame.windowFlags() & Qt::WindowMinimizeButtonHint);

        QCOMPARE(shown.Bar().geometry(), QRect(0, 0, 944, 40));
        QCOMPARE(shown.BasePanel().geometry(), QRect(0, 40, 944, 442));
        QCOMPARE(shown.BasePanel().PicturePanel()->geometry(), QRect(0, 0, 300, 442));
        QCOMPARE(shown.PageHost().geometry(), QRect(300, 0, 644, 442));
        QCOMPARE(shown.PageHost().CurrentPage()->geometry(), QRect(0, 0, 644, 442));
    }

    void thePicturePanelShowsPicture335AndNoBlue()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        const QImage panel = Render(*shown.BasePanel().PicturePanel());
        QTRN_GDIWithPNG png;
        QVERIFY(png.Load(kPngPicturePanel));
        QCOMPARE(panel, png.Bitmap()->convertToFormat(QImage::Format_RGB32));
        for (int y = 0; y < panel.height(); ++y) {
            for (int x = 0; x < panel.width(); ++x)
                QVERIFY(panel.pixelColor(x, y) != QColor(0, 0, 255));
        }
    }

    void aTallerPicturePanelShowsABlueStripBelowThePicture()
    {
        QWidget parent;
        CImageWnd panel;
        QVERIFY(panel.Create(&parent));
        panel.setGeometry(0, 0, 300, 460);
        const QImage image = Render(panel);
        QCOMPARE(image.pixelColor(150, 450), QColor(0, 0, 255));
        QVERIFY(image.pixelColor(150, 400) != QColor(0, 0, 255));
    }

    void theHomePageShowsItsBackgroundAndTwoWhiteTiles()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        QCOMPARE(Tile(shown, CHomeWnd::kPhysicalDrivesId)->geometry(), kPhysicalTile);
        QCOMPARE(Tile(shown, CHomeWnd::kLogicalDrivesId)->geometry(), kLogicalTile);

        const QImage page = Render(*shown.PageHost().CurrentPage());
        QTRN_GDIWithPNG background;
        QVERIFY(background.Load(kPngHomeBackground));
        const QImage expected = background.Bitmap()->convertToFormat(QImage::Format_RGB32);
        QCOMPARE(page.copy(500, 0, 144, 442), expected.copy(500, 0, 144, 442)); // beside the tiles
        QCOMPARE(page.copy(0, 200, 644, 242), expected.copy(0, 200, 644, 242)); // below them
        QCOMPARE(page.pixelColor(kPhysicalTile.left() + 100, kPhysicalTile.bottom() - 4), QColor(Qt::white));
        QCOMPARE(page.pixelColor(kLogicalTile.left() + 100, kLogicalTile.bottom() - 4), QColor(Qt::white));
    }

    void theBarIsBlackBeyondThe184PixelLogo()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        const QImage bar = Render(shown.Bar());
        const QImage logo = LoadBitmapResource(kBitmapLogo).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(bar.copy(0, 0, 184, 40), logo);
        for (int x = 184; x < 944; ++x) {
            QCOMPARE(bar.pixelColor(x, 1), QColor(Qt::black));
            QCOMPARE(bar.pixelColor(x, 38), QColor(Qt::black));
        }
        for (int x = 184; x < 944 - 99; ++x)
            QCOMPARE(bar.pixelColor(x, 20), QColor(Qt::black));
    }

    void theBarPlacesHelpAndHomeAtItsRightEnd()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        QCOMPARE(shown.Bar().HelpButton()->geometry(), QRect(944 - 35, 4, 32, 32));
        QCOMPARE(shown.Bar().HomeButton()->geometry(), QRect(944 - 99, 4, 32, 32));
        QCOMPARE(ControlId(*shown.Bar().HelpButton()), CPersistWnd::kHelpId);
        QCOMPARE(ControlId(*shown.Bar().HomeButton()), CPersistWnd::kHomeId);
    }

    void homeIsHiddenOnTheHomePageAndShownOnlyForTheDrivePage()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        QPushButton* home = shown.Bar().HomeButton();
        QVERIFY(home->isHidden());
        QVERIFY(!home->isEnabled());

        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE), intptr_t{0});
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Drive);
        QVERIFY(!home->isHidden());
        QVERIFY(home->isEnabled());

        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_SHOW_PROGRESS_PAGE), intptr_t{0});
        QVERIFY(home->isHidden());
        QVERIFY(!home->isEnabled());

        // The bar was told before each page was made.
        const std::vector<PageKind> kinds{PageKind::Home, PageKind::Drive, PageKind::Progress};
        QCOMPARE(log.created, kinds);
        QCOMPARE(log.homeButtonShown, (std::vector<bool>{false, true, false}));
    }

    void everyNewPageFillsThePageHostAndTheTilesKeepTheirPlaces()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        for (const uint32_t message :
             {WM_SHOW_DRIVE_PAGE, WM_SHOW_HOME_PAGE, WM_SHOW_PROGRESS_PAGE, WM_SHOW_HOME_PAGE}) {
            QCOMPARE(SendAppMessage(&shown.PageHost(), message), intptr_t{0});
            QCOMPARE(shown.PageHost().CurrentPage()->geometry(), QRect(0, 0, 644, 442));
            QCOMPARE(shown.Frame().size(), QSize(944, 482));
        }
        QCOMPARE(Tile(shown, CHomeWnd::kPhysicalDrivesId)->geometry(), kPhysicalTile);
        QCOMPARE(Tile(shown, CHomeWnd::kLogicalDrivesId)->geometry(), kLogicalTile);
        shown.PageHost().CurrentPage()->resize(800, 500);
        QCOMPARE(Tile(shown, CHomeWnd::kLogicalDrivesId)->geometry(), kLogicalTile);
    }

    void aPageReplacedByASwitchIsDestroyed()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        QPointer<QWidget> home = shown.PageHost().CurrentPage();
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        QVERIFY(home.isNull());
        QPointer<QWidget> drive = shown.PageHost().CurrentPage();
        SendAppMessage(&shown.PageHost(), WM_SHOW_HOME_PAGE);
        QVERIFY(drive.isNull());
        QCOMPARE(shown.PageHost().findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), qsizetype{1});
    }

    void theHomePageReleasesTheDriveListAndThenTheWipeJob()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        AddDriveEntry();
        AddDriveEntry();
        bool driveListClearedFirst = false;
        zd::g_wipeJob.Create().device = std::make_unique<zd::DeviceRecord>();
        zd::g_wipeJob.get()->device->handle = std::make_unique<ReleaseProbe>(driveListClearedFirst);

        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_SHOW_HOME_PAGE), intptr_t{0});
        QVERIFY(zd::g_driveList.empty());
        QVERIFY(zd::g_wipeJob.get() == nullptr);
        QVERIFY(driveListClearedFirst);
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Home);
    }

    void theHomePageNeedsNoDriveListOrWipeJobToRelease()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_SHOW_HOME_PAGE), intptr_t{0});
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Home);
    }

    void otherPagesLeaveTheDriveListAndTheWipeJobAlone()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        AddDriveEntry();
        zd::g_wipeJob.Create();
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        SendAppMessage(&shown.PageHost(), WM_SHOW_PROGRESS_PAGE);
        QCOMPARE(zd::g_driveList.size(), std::size_t{1});
        QVERIFY(zd::g_wipeJob.get() != nullptr);
    }

    void theSameNumberSwitchesPagesOnTheHostButOnlyShowsHomeOnTheBar()
    {
        static_assert(WM_SHOW_DRIVE_PAGE == WM_SHOW_HOME_BUTTON);
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        QWidget* homePage = shown.PageHost().CurrentPage();

        QCOMPARE(SendAppMessage(&shown.Bar(), WM_SHOW_HOME_BUTTON, 0, 1), intptr_t{0});
        QVERIFY(!shown.Bar().HomeButton()->isHidden());
        QCOMPARE(shown.PageHost().CurrentPage(), homePage);
        QCOMPARE(log.created.size(), std::size_t{1});

        SendAppMessage(&shown.Bar(), WM_SHOW_HOME_BUTTON, 0, 0);
        QVERIFY(shown.Bar().HomeButton()->isHidden());
        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE), intptr_t{0});
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Drive);

        // Numbers the receivers do not handle change nothing.
        QCOMPARE(SendAppMessage(&shown.Bar(), WM_SHOW_HOME_PAGE), intptr_t{0});
        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_WIPE_PROGRESS), intptr_t{0});
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Drive);
    }

    void clickingATileSetsThePhysicalFlagAndAsksForTheDrivePage_data()
    {
        QTest::addColumn<int>("tile");
        QTest::addColumn<int>("flag");
        QTest::newRow("physical") << CHomeWnd::kPhysicalDrivesId << 1;
        QTest::newRow("logical") << CHomeWnd::kLogicalDrivesId << 0;
    }

    void clickingATileSetsThePhysicalFlagAndAsksForTheDrivePage()
    {
        QFETCH(int, tile);
        QFETCH(int, flag);
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        shown.PageHost().SetPhysicalFlag(1 - flag);
        QPointer<QWidget> homePage = shown.PageHost().CurrentPage();
        QTest::mouseClick(Tile(shown, tile), Qt::LeftButton, {}, QPoint(100, 80));
        QCOMPARE(shown.PageHost().PhysicalFlag(), flag);
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Drive);
        QVERIFY(homePage.isNull());
        QVERIFY(!shown.Bar().HomeButton()->isHidden());

        // Back home, the flag stays as the choice left it.
        SendAppMessage(&shown.PageHost(), WM_SHOW_HOME_PAGE);
        QCOMPARE(shown.PageHost().PhysicalFlag(), flag);
    }

    void theHomeButtonOnTheBarGoesBackLikeBack()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        AddDriveEntry();
        zd::g_wipeJob.Create();
        QTest::mouseClick(shown.Bar().HomeButton(), Qt::LeftButton);
        QCOMPARE(shown.PageHost().CurrentPageKind(), PageKind::Home);
        QVERIFY(zd::g_driveList.empty());
        QVERIFY(zd::g_wipeJob.get() == nullptr);
        QVERIFY(shown.Bar().HomeButton()->isHidden());
    }

    void aPageThatCannotBeCreatedLeavesTheHostEmpty()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log, {PageKind::Drive}));
        QCOMPARE(SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE), intptr_t{-1});
        QVERIFY(shown.PageHost().CurrentPage() == nullptr);
        QVERIFY(!shown.PageHost().CurrentPageKind().has_value());
        QCOMPARE(Render(shown.PageHost()).pixelColor(300, 200), QColor(Qt::white));
        QVERIFY(shown.Frame().close()); // an empty host does not hold the window open
    }

    void aHomePageThatCannotBeCreatedFailsTheWholeFrame()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log, {PageKind::Home}));
        QVERIFY(!shown.Created());
    }

    void closingIsRefusedWhileTheProgressPageIsShown()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        MessageBoxRecorder boxes;
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        SendAppMessage(&shown.PageHost(), WM_SHOW_PROGRESS_PAGE);
        QVERIFY(!shown.Frame().close());
        QVERIFY(shown.Frame().isVisible());
        QCOMPARE(boxes.requests.size(), std::size_t{1});
        QCOMPARE(boxes.requests[0].text, QStringLiteral("Please press Cancel button for terminating the operation."));
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Information"));
        QCOMPARE(boxes.requests[0].icon, MessageIcon::Information);
        QCOMPARE(boxes.requests[0].owner, &shown.Frame());

        SendAppMessage(&shown.PageHost(), WM_SHOW_HOME_PAGE);
        QVERIFY(shown.Frame().close());
        QCOMPARE(boxes.requests.size(), std::size_t{1});
    }

    void closingOnTheDrivePageEndsTheWindow()
    {
        PageLog log;
        ShownFrame shown(LoggingPages(log));
        MessageBoxRecorder boxes;
        SendAppMessage(&shown.PageHost(), WM_SHOW_DRIVE_PAGE);
        QVERIFY(shown.Frame().close());
        QVERIFY(boxes.requests.empty());
    }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
