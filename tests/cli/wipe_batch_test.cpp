// zeza-dera-cli wipe with several targets: the JSON event stream, refusals
// that keep every target untouched, and an interrupt that cancels them all.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "tests/engine/wipe_fixture.h"
#include "tests/support/loop_device.h"

namespace zd {
namespace {

using Json = nlohmann::json;
using test::RunCli;

constexpr std::size_t kImageBytes = 2 * 262'144 + 3 * 512;

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<Json> Events(const std::string& out)
{
    std::vector<Json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        events.push_back(Json::parse(line)); // throws, failing the test, on a line that is no JSON
    return events;
}

class WipeBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& image : {first, second})
            std::ofstream(image, std::ios::binary) << std::string(kImageBytes, '\xFF');
    }

    std::vector<std::string> Args(std::vector<std::string> targets, std::vector<std::string> more)
    {
        std::vector<std::string> args{"wipe"};
        args.insert(args.end(), targets.begin(), targets.end());
        args.insert(args.end(), {"--method", "3", "--yes", "--log-dir", logs.path().string()});
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    bool Untouched(const std::filesystem::path& image) { return ReadAll(image) == std::string(kImageBytes, '\xFF'); }

    test::TempDirectory directory, logs;
    std::filesystem::path first = directory.path() / "first.img";
    std::filesystem::path second = directory.path() / "second.img";
};

TEST_F(WipeBatch, TheJsonStreamOfTwoTargetsIsCompleteInOrderAndMeetsItsSchema)
{
    const auto result = RunCli({Args({first.string(), second.string()}, {"--progress", "json"})});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(Contains(result.err, "{\"event\"")) << "events go to standard output only";
    const auto events = Events(result.out);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front()["event"], "start");
    EXPECT_EQ(events.front()["targets"].size(), 2u);
    EXPECT_EQ(events.back()["event"], "summary");
    EXPECT_EQ(events.back()["exitCode"], 0);

    // Per target: each pass starts, (progress,) ends completed; then verify,
    // outcome and log, in that order.
    std::map<std::string, std::vector<std::string>> seen;
    for (const Json& event : events) {
        if (!event.contains("target"))
            continue;
        std::string step = event["event"];
        if (event.contains("pass") && step != "progress")
            step += " " + std::to_string(event["pass"].get<int>());
        if (step != "progress")
            seen[event["target"]].push_back(step);
        if (step == "outcome") {
            EXPECT_EQ(event["outcome"], "Erased");
            EXPECT_EQ(event["message"], "Operation completed.");
        }
        if (step == "log") {
            EXPECT_TRUE(std::filesystem::exists(event["record"].get<std::string>()));
        }
    }
    const std::vector<std::string> expected{"pass-start 1", "pass-end 1", "pass-start 2", "pass-end 2",
                                            "verify",       "outcome",    "log"};
    for (const auto& image : {first, second}) {
        EXPECT_EQ(seen[image.string()], expected) << image;
        EXPECT_EQ(ReadAll(image), std::string(kImageBytes, '\0')) << "the last pass of method 3 writes zeros";
    }

    const auto stream = logs.path() / "events.jsonl";
    std::ofstream(stream) << result.out;
    std::string errors;
    EXPECT_TRUE(test::RunCommand(
        std::string("python3 ") + ZD_SCHEMA_CHECK + " --lines " + ZD_EVENTS_SCHEMA + " " + stream.string(), &errors))
        << errors;
}

TEST_F(WipeBatch, ARefusedTargetRefusesTheCommandUnlessItIsSkipped)
{
    const auto link = directory.path() / "link.img";
    std::filesystem::create_symlink(first, link);
    for (const std::string& other : {(directory.path() / "missing.img").string(), link.string()}) {
        SCOPED_TRACE(other);
        const auto result = RunCli({Args({first.string(), second.string(), other}, {"--progress", "json"})});
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_TRUE(Untouched(first) && Untouched(second));
        EXPECT_TRUE(Contains(result.err, "--skip-refused")) << result.err;
        const auto events = Events(result.out);
        ASSERT_EQ(events.size(), 1u) << result.out;
        EXPECT_EQ(events[0]["event"], "summary");
        EXPECT_EQ(events[0]["refused"].size(), 1u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(logs.path()));

    const auto result = RunCli({Args({link.string(), first.string(), second.string()}, {"--skip-refused"})});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, first.string() + " is named more than once")) << result.err;
    EXPECT_TRUE(Contains(result.out, "Refused")) << "the summary lists the target left out:\n" << result.out;
    EXPECT_FALSE(Untouched(first) || Untouched(second));
}

TEST(WipeBatchOnDevices, AnInterruptCancelsEveryRunAndEachLogsItsCancelledPass)
{
    ZD_REQUIRE_LOOP_DEVICES();
    test::LoopOptions options;
    options.sizeBytes = 128 << 20;
    test::LoopDevice a(options), b(options);
    ASSERT_TRUE(a.attached() && b.attached());
    test::TempDirectory logs;
    test::CliRun run{{"wipe", a.path(), b.path(), "--method", "15", "--yes", "--log-dir", logs.path().string()}};
    run.watch = [&](int pid, const std::string&, const std::string& err) {
        return Contains(err, a.path() + "  pass 2/35") && Contains(err, b.path() + "  pass 2/35") &&
               ::kill(pid, SIGINT) == 0;
    };
    const auto result = RunCli(run);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    int logsSeen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(logs.path())) {
        if (entry.path().extension() != ".log")
            continue;
        ++logsSeen;
        const std::string text = ReadAll(entry.path());
        EXPECT_TRUE(Contains(text, "1/35 Pass Completed.")) << text;
        EXPECT_TRUE(Contains(text, "/35 Pass Cancelled.")) << text;
    }
    EXPECT_EQ(logsSeen, 2);
}

} // namespace
} // namespace zd
