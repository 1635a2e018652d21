// The application object: one instance, the records at exit, the relaunch
// for administrator rights, and Help.
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "fake_program.h"
#include "gui_test_support.h"
#include "pages/custom_messages.h"
#include "pages/elevation.h"
#include "pages/gui_wipe_notifier.h"
#include "pages/help_file.h"
#include "pages/zeza_dera_app.h"
#include "platform/single_instance.h"

using namespace zd::ui;
using namespace zd::ui::test;
using zd::test::FakeProgram;

namespace {

// A device that notes, when the wipe job releases it, which of the other
// records still existed.
class ReleaseProbe final : public zd::ui::test::InertDevice {
public:
    struct Seen {
        bool released = false;
        bool driveList = false;
        bool selection = false;
        bool progress = false;
    };
    explicit ReleaseProbe(Seen& seen) : seen_(seen) {}
    ~ReleaseProbe() override
    {
        seen_ = {true, !zd::g_driveList.empty(), zd::g_wipeSelection.get() != nullptr,
                 zd::g_wipeProgress.get() != nullptr};
    }

private:
    Seen& seen_;
};

std::vector<std::string> ArgumentsOf(const char* program, std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), program);
    std::vector<std::string> expected{std::filesystem::read_symlink("/proc/self/exe").string()};
    expected.insert(expected.end(), arguments.begin() + 1, arguments.end());
    return expected;
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    // A lock directory of its own for every test: a claim lasts as long as
    // the process.
    void init()
    {
        lockDirectory_ = std::make_unique<QTemporaryDir>();
        QVERIFY(lockDirectory_->isValid());
        zd::platform::SetSingleInstanceDirectory(lockDirectory_->path().toStdString());
    }

    void cleanup()
    {
        zd::platform::SetSingleInstanceDirectory({});
        zd::ReleaseWipeJob();
        zd::ClearDriveList();
        zd::g_wipeSelection.Release();
        zd::g_wipeProgress.Release();
    }

    void theFirstInstanceOpensTheHomePageWithTheWipeProgressInPlace()
    {
        bool progressBeforeFirstPage = false;
        PageLog log;
        PageFactory logging = LoggingPages(log);
        CZezaDeraApp app(WithProgramRoutes([&](PageKind kind, CActiveWnd& host) {
            progressBeforeFirstPage = progressBeforeFirstPage || zd::g_wipeProgress.get() != nullptr;
            return logging.make(kind, host);
        }));
        MessageBoxRecorder boxes;
        QVERIFY(app.InitInstance());
        QVERIFY(boxes.requests.empty());
        QVERIFY(app.MainFrame()->isVisible());
        QCOMPARE(AppMainWindow(), static_cast<QWidget*>(app.MainFrame()));
        QVERIFY(progressBeforeFirstPage);
        QCOMPARE(app.MainFrame()->BasePanel()->PageHost()->CurrentPageKind(), PageKind::Home);
        QVERIFY(app.MainFrame()->Bar()->HomeButton()->isHidden());
    }

    void aSecondInstanceIsRefusedWithAWarningAndNoWindow()
    {
        QVERIFY(zd::platform::ClaimSingleInstance()); // the instance that already runs
        PageLog log;
        CZezaDeraApp app(LoggingPages(log));
        MessageBoxRecorder boxes;
        QVERIFY(!app.InitInstance());
        QVERIFY(app.MainFrame() == nullptr);
        QVERIFY(log.created.empty());
        QCOMPARE(boxes.requests.size(), std::size_t{1});
        QCOMPARE(boxes.requests[0].text, QStringLiteral("An instance of this application is already running."));
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Warning"));
        QCOMPARE(boxes.requests[0].icon, MessageIcon::Error);
        QVERIFY(boxes.requests[0].owner == nullptr);
    }

    void aFrameThatCannotBeCreatedEndsTheStart()
    {
        PageLog log;
        CZezaDeraApp app(LoggingPages(log, {PageKind::Home}));
        QVERIFY(!app.InitInstance());
        QVERIFY(app.MainFrame() == nullptr);
    }

    void atExitTheWindowGoesFirstThenTheRecordsInTheirOrder()
    {
        ReleaseProbe::Seen seen;
        QPointer<QWidget> frame;
        {
            PageLog log;
            CZezaDeraApp app(LoggingPages(log));
            QVERIFY(app.InitInstance());
            frame = app.MainFrame();
            zd::g_wipeSelection.Create();
            zd::g_driveList.Append(std::make_unique<zd::DriveEntry>());
            zd::g_wipeJob.Create().device = std::make_unique<zd::DeviceRecord>();
            zd::g_wipeJob.get()->device->handle = std::make_unique<ReleaseProbe>(seen);
        }
        QVERIFY(frame.isNull());
        QVERIFY(AppMainWindow() == nullptr);
        QVERIFY(seen.released);
        QVERIFY(seen.driveList && seen.selection && seen.progress); // the job went first
        QVERIFY(zd::g_wipeJob.get() == nullptr);
        QVERIFY(zd::g_driveList.empty());
        QVERIFY(zd::g_wipeSelection.get() == nullptr);
        QVERIFY(zd::g_wipeProgress.get() == nullptr);
    }

    void helpOpensTheHelpFileBesideTheProgramAndLeavesThePage()
    {
        QCOMPARE(QString::fromStdU16String(HelpFilePath().u16string()),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/Movan Zeza Dera.html"));
        QVERIFY2(std::filesystem::exists(HelpFilePath()), "the build puts the help file beside the tests");

        PageLog log;
        CZezaDeraApp app(LoggingPages(log));
        QVERIFY(app.InitInstance());
        CActiveWnd* host = app.MainFrame()->BasePanel()->PageHost();
        for (const uint32_t page : {WM_SHOW_HOME_PAGE, WM_SHOW_DRIVE_PAGE, WM_SHOW_PROGRESS_PAGE}) {
            SendAppMessage(host, page);
            const auto kind = host->CurrentPageKind();
            FakeProgram viewer("xdg-open");
            QTest::mouseClick(app.MainFrame()->Bar()->HelpButton(), Qt::LeftButton);
            const auto report = viewer.WaitForReport();
            QVERIFY(report.has_value());
            QCOMPARE(report->arguments, std::vector<std::string>{HelpFilePath().string()});
            QCOMPARE(host->CurrentPageKind(), kind);
        }
    }

    void onlyAnUnprivilegedProcessNeedsElevationUnlessToldOtherwise()
    {
        qunsetenv(kStayUnprivilegedVariable);
        QCOMPARE(NeedsElevation(), geteuid() != 0);
        qputenv(kStayUnprivilegedVariable, "1");
        QVERIFY(!NeedsElevation());
        qunsetenv(kStayUnprivilegedVariable);
    }

    void theRelaunchRunsThisProgramThroughPkexecWithItsArguments()
    {
        FakeProgram pkexec("pkexec", 3);
        std::vector<const char*> arguments{"zeza-dera", "-platform", "offscreen"};
        const RelaunchResult result =
            RelaunchThroughPkexec(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data()));
        QCOMPARE(result.status, RelaunchResult::Status::Finished);
        QCOMPARE(result.exitCode, 3);
        const auto report = pkexec.WaitForReport();
        QVERIFY(report.has_value());
        QCOMPARE(report->arguments, ArgumentsOf("zeza-dera", {"-platform", "offscreen"}));
    }

    void aRefusedOrImpossibleElevationIsReportedAsSuch()
    {
        for (const int code : {126, 127}) {
            FakeProgram pkexec("pkexec", code);
            std::vector<const char*> arguments{"zeza-dera"};
            QCOMPARE(RelaunchThroughPkexec(1, const_cast<char**>(arguments.data())).status,
                     RelaunchResult::Status::Refused);
        }
        QTemporaryDir empty;
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", empty.path().toLocal8Bit());
        std::vector<const char*> arguments{"zeza-dera"};
        QCOMPARE(RelaunchThroughPkexec(1, const_cast<char**>(arguments.data())).status,
                 RelaunchResult::Status::Unavailable);
        qputenv("PATH", savedPath);
    }

    // On a boot medium's bare framebuffer: the window sits centred on a
    // backdrop that fills the screen, and with no desktop viewer the run's
    // log opens in a window of the program's own.
    void onABootMediumTheWindowIsCentredAndTheLogShownByTheProgram()
    {
        qputenv("ZD_FULL_SCREEN", "1");
        PageLog log;
        CZezaDeraApp app(LoggingPages(log));
        QVERIFY(app.InitInstance());
        qunsetenv("ZD_FULL_SCREEN");
        const QWidget* backdrop = app.MainFrame()->parentWidget();
        QVERIFY(backdrop != nullptr);
        QCOMPARE(backdrop->size(), QGuiApplication::primaryScreen()->geometry().size());
        const QPoint offset = app.MainFrame()->geometry().center() - backdrop->rect().center();
        QVERIFY2(offset.manhattanLength() <= 2, "the window is not centred");

        QTemporaryDir folder, empty;
        const QString file = folder.filePath(QStringLiteral("Drive__sdz.log"));
        QFile written(file);
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write("Method: Zero Wipe\n") > 0);
        written.close();
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", empty.path().toLocal8Bit());
        GuiWipeNotifier(*app.MainFrame(), {}).ShowLog(file.toStdString());
        qputenv("PATH", savedPath);
        const auto shown = [] {
            for (QWidget* window : QApplication::topLevelWidgets())
                for (const auto* text : window->findChildren<QPlainTextEdit*>())
                    if (window->isVisible() && text->toPlainText() == QStringLiteral("Method: Zero Wipe\n"))
                        return true;
            return false;
        };
        QTRY_VERIFY(shown());
    }

private:
    std::unique_ptr<QTemporaryDir> lockDirectory_;
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
