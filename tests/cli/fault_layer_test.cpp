#include "child_process.h"
#include "fault_mount.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

using namespace testing_support;

namespace fs = std::filesystem;

namespace {

// A tree behind the fault layer: "src" as it is, "mnt" as the readers see it.
class FaultLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = FaultMount::unavailable(); !why.empty())
            GTEST_SKIP() << why;
        for (const char* name : {"src/sub", "mnt", "out"})
            fs::create_directories(folder / name);
    }

    void mount()
    {
        mount_.emplace(folder / "src", folder / "mnt");
        ASSERT_TRUE(mount_->mounted()) << "fault_fs did not mount";
    }

    ChildResult run(const std::string& input, const std::string& output, const ChildLimits& limits = {})
    {
        return runProgram({vaskerelPath(), "-i", input, "-o", output}, limits);
    }

    TempFolder folder;
    std::optional<FaultMount> mount_;
};

} // namespace

TEST_F(FaultLayerTest, BothReadersWriteTheSameReportThroughShortReadsAndErrors)
{
    for (int i = 0; i < 30; ++i)
        writeFile(folder / ("src/sub/small" + std::to_string(i)), patternedBytes(static_cast<std::size_t>(i) * 77, 1));
    writeFile(folder / "src/a.short", patternedBytes(5000, 2));
    writeFile(folder / "src/big.short", patternedBytes((std::size_t{3} << 20) + 5, 3));
    writeFile(folder / "src/c.eio", patternedBytes(100, 4));
    writeFile(folder / "src/big.eio", patternedBytes(std::size_t{2} << 20, 5));
    writeFile(folder / "src/plain", patternedBytes((std::size_t{1} << 20) + 3, 6));
    const ChildResult direct = run(folder / "src", folder / "out/direct.htm");
    ASSERT_EQ(direct.exitCode, 0) << direct.errors;
    mount();
    // Directly, nothing fails; through the layer, the short files read on and give the same rows.
    const ChildResult uring = run(folder / "mnt", folder / "out/uring.htm");
    const ChildResult threads = run(folder / "mnt", folder / "out/threads.htm", {.withoutIoUring = true});
    EXPECT_EQ(uring.exitCode, 3) << uring.errors;
    EXPECT_EQ(threads.exitCode, 3) << threads.errors;
    EXPECT_EQ(uring.errors, threads.errors);
    EXPECT_NE(uring.errors.find("big.eio: Input/output error"), std::string::npos) << uring.errors;
    const std::string report = readFile(folder / "out/uring.htm");
    EXPECT_EQ(report, readFile(folder / "out/threads.htm"));
    const std::string expected = readFile(folder / "out/direct.htm");
    for (const std::string name : {"a.short", "big.short", "plain", "sub/small29"}) {
        const std::size_t row = expected.find("<a href=\"" + name + "\">");
        ASSERT_NE(row, std::string::npos) << name;
        EXPECT_NE(report.find(expected.substr(row, expected.find('\r', row) - row)), std::string::npos) << name;
    }
}

// A read the system does not interrupt (a stalled network) must not keep a stopped run alive.
TEST_F(FaultLayerTest, AStopSignalEndsARunThatHangsInARead)
{
    writeFile(folder / "src/a", "a");
    writeFile(folder / "src/x.hang", patternedBytes(1000, 7));
    mount();
    // The run's threads are left behind on purpose; ThreadSanitizer would call that a leak.
    const char* sanitizer = std::getenv("TSAN_OPTIONS");
    ::setenv("TSAN_OPTIONS", (std::string(sanitizer != nullptr ? sanitizer : "") + " report_thread_leaks=0").c_str(), 1);
    for (const bool withoutUring : {false, true}) {
        writeFile(folder / "out/list.htm", "old report");
        RunningProgram program({vaskerelPath(), "-i", folder / "mnt", "-o", folder / "out/list.htm"},
                                                {.withoutIoUring = withoutUring});
        // Signalled in the hanging read, not before the process has set up its handlers.
        ASSERT_TRUE(program.waitUntilReading(folder / "mnt/x.hang"));
        const auto signalled = std::chrono::steady_clock::now();
        program.signal(SIGTERM);
        const ChildResult result = program.wait();
        const auto took = std::chrono::steady_clock::now() - signalled;
        EXPECT_EQ(exitAndErrors(result), "exit 143: vaskerel: stopped; the report was not written\n");
        // The read hangs for a minute, deaf to signals; the process started must not wait for it.
        EXPECT_LT(took, std::chrono::seconds(3));
        EXPECT_EQ(readFile(folder / "out/list.htm"), "old report");
        EXPECT_EQ(namesIn(folder / "out"), "list.htm\n");
    }
}
