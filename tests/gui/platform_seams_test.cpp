// The single-instance mark and the file viewer on Linux.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fake_program.h"
#include "platform/file_viewer.h"
#include "platform/single_instance.h"

namespace fs = std::filesystem;
using zd::platform::ClaimSingleInstance;
using zd::platform::OpenInFileViewer;
using zd::platform::SetSingleInstanceDirectory;
using zd::platform::ViewerWindow;
using zd::test::FakeProgram;

namespace {

class TempDirectory {
public:
    TempDirectory()
    {
        char pattern[] = "/tmp/zd-seams-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDirectory()
    {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Runs body in a child process and returns its exit code.
template <class Body> int InChildProcess(Body body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override { SetSingleInstanceDirectory(directory.path()); }
    void TearDown() override { SetSingleInstanceDirectory({}); }

    TempDirectory directory;
};

} // namespace

TEST_F(SingleInstance, TheFirstClaimWinsAndEveryLaterOneFails)
{
    EXPECT_TRUE(ClaimSingleInstance());
    EXPECT_TRUE(fs::exists(directory.path() / "Movan Zeza Dera"));
    EXPECT_FALSE(ClaimSingleInstance());
    EXPECT_EQ(InChildProcess([] { return ClaimSingleInstance() ? 0 : 1; }), 1);
}

TEST_F(SingleInstance, TheMarkEndsWithTheProcessThatHeldIt)
{
    EXPECT_EQ(InChildProcess([] { return ClaimSingleInstance() ? 0 : 1; }), 0);
    EXPECT_TRUE(ClaimSingleInstance());
}

TEST_F(SingleInstance, AProgramStartedByTheInstanceDoesNotKeepTheMark)
{
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    // The instance starts a long-lived program (cat, waiting on its input)
    // and ends once the program runs; the program outlives it.
    const int started = InChildProcess([&] {
        if (!ClaimSingleInstance())
            return 1;
        int executed[2];
        if (pipe2(executed, O_CLOEXEC) != 0)
            return 1;
        const pid_t program = fork();
        if (program == 0) {
            dup2(input[0], STDIN_FILENO);
            close(input[1]);
            execlp("cat", "cat", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(executed[1]);
        char byte;
        const bool execDone = program > 0 && read(executed[0], &byte, 1) == 0; // closed by the exec
        return execDone ? 0 : 1;
    });
    close(input[0]);
    ASSERT_EQ(started, 0);
    EXPECT_TRUE(ClaimSingleInstance());
    close(input[1]); // ends cat
}

TEST_F(SingleInstance, ALinkInPlaceOfTheLockFileIsNotFollowed)
{
    const fs::path target = directory.path() / "target";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, directory.path() / "Movan Zeza Dera");
    EXPECT_FALSE(ClaimSingleInstance());
    const int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0); // nobody locked the file the link points to
    close(fd);
}

TEST_F(SingleInstance, AMissingDirectoryRefusesTheClaim)
{
    SetSingleInstanceDirectory(directory.path() / "missing");
    EXPECT_FALSE(ClaimSingleInstance());
}

TEST(FileViewer, AMissingFileStartsNothing)
{
    FakeProgram viewer("xdg-open");
    TempDirectory directory;
    EXPECT_FALSE(OpenInFileViewer(directory.path() / "Movan Zeza Dera.html", ViewerWindow::Show));
    EXPECT_FALSE(OpenInFileViewer(directory.path(), ViewerWindow::Show)); // a directory is no file
}

TEST(FileViewer, WithoutAViewerOnThePathItFails)
{
    TempDirectory directory;
    const fs::path file = directory.path() / "log.txt";
    std::ofstream(file) << "log";
    const std::string savedPath = std::getenv("PATH");
    setenv("PATH", directory.path().c_str(), 1);
    EXPECT_FALSE(OpenInFileViewer(file, ViewerWindow::Restore));
    setenv("PATH", savedPath.c_str(), 1);
}

TEST(FileViewer, TheViewerGetsTheWholePathAndRunsOnWithoutTheCaller)
{
    FakeProgram viewer("xdg-open", 0, true);
    TempDirectory directory;
    const fs::path folder = directory.path() / "Program Files" / "Movan Zeza Dera";
    fs::create_directories(folder);
    const fs::path file = folder / "Movan Zeza Dera.html";
    std::ofstream(file) << "<html></html>";

    // Returns while the viewer is still held open.
    ASSERT_TRUE(OpenInFileViewer(file, ViewerWindow::Show));
    const auto report = viewer.WaitForReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->arguments, std::vector<std::string>{file.string()});
    viewer.Release();
}

TEST(FileViewer, ARelativePathIsHandedOverAbsolute)
{
    FakeProgram viewer("xdg-open");
    TempDirectory directory;
    std::ofstream(directory.path() / "Drive__E.log") << "log";
    const fs::path previous = fs::current_path();
    fs::current_path(directory.path());
    const bool opened = OpenInFileViewer("Drive__E.log", ViewerWindow::Restore);
    fs::current_path(previous);
    ASSERT_TRUE(opened);
    const auto report = viewer.WaitForReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->arguments, std::vector<std::string>{(directory.path() / "Drive__E.log").string()});
}

TEST(FileViewer, ARootProcessStartsTheViewerAsTheDesktopUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to start a program as another user";
    const passwd* nobody = getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user 'nobody' on this machine";
    const std::string home = nobody->pw_dir;
    const uid_t uid = nobody->pw_uid;

    FakeProgram viewer("xdg-open");
    TempDirectory directory;
    fs::permissions(directory.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const fs::path file = directory.path() / "help.html";
    std::ofstream(file) << "<html></html>";

    setenv("PKEXEC_UID", std::to_string(uid).c_str(), 1);
    const bool opened = OpenInFileViewer(file, ViewerWindow::Show);
    unsetenv("PKEXEC_UID");
    ASSERT_TRUE(opened);
    const auto report = viewer.WaitForReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->uid, uid);
    EXPECT_EQ(report->home, home);
}

TEST(FileViewer, AMalformedOrRootUserIdLeavesTheViewerAsTheCaller)
{
    for (const char* value : {"12abc", "0", ""}) {
        FakeProgram viewer("xdg-open");
        TempDirectory directory;
        const fs::path file = directory.path() / "help.html";
        std::ofstream(file) << "<html></html>";
        setenv("PKEXEC_UID", value, 1);
        const bool opened = OpenInFileViewer(file, ViewerWindow::Show);
        unsetenv("PKEXEC_UID");
        ASSERT_TRUE(opened) << value;
        const auto report = viewer.WaitForReport();
        ASSERT_TRUE(report.has_value()) << value;
        EXPECT_EQ(report->uid, geteuid()) << value;
    }
}
