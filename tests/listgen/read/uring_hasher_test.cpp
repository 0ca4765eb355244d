#include "listgen/read/uring_hasher.h"

#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_version.h"
#include "listgen/common/system_error.h"
#include "listgen/digest/md5_rate_probe.h"
#include "listgen/read/read_step.h"
#include "listgen/read/uring_ring.h"

#include "fake_ring.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

using listgen::Entry;
using listgen::ReadStep;
using listgen::UringHasher;
using namespace testing_support;

namespace {

const std::atomic<bool> kGoOn{false};

std::shared_ptr<listgen::FolderHandle> openFolder(const std::string& path)
{
    auto folder = std::make_shared<listgen::FolderHandle>();
    folder->fd.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder;
}

// The entries the walk would give for files of a folder.
std::vector<Entry> entriesFor(const TempFolder& folder, const std::vector<std::string>& names)
{
    const auto handle = openFolder(folder.path().string());
    std::vector<Entry> entries(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        entries[i].path = folder / names[i];
        entries[i].folder = handle;
    }
    return entries;
}

std::vector<std::string> outcomesOf(const std::vector<Entry>& entries)
{
    std::vector<std::string> outcomes;
    for (const Entry& entry : entries) {
        const listgen::FileFacts& facts = entry.facts;
        if (entry.kind == Entry::Kind::Hashed)
            outcomes.push_back(std::to_string(facts.size) + " " + std::string(facts.md5.data(), facts.md5.size()) + " " +
                               std::string(facts.sha256.data(), facts.sha256.size()));
        else
            outcomes.push_back(entry.kind == Entry::Kind::Unreadable ? "unreadable: " + entry.reason.message() : "other");
    }
    return outcomes;
}

// What the file-by-file reader makes of the same files: the reference for the io_uring one.
std::vector<std::string> byFileHasher(const TempFolder& folder, const std::vector<std::string>& names)
{
    std::vector<Entry> entries = entriesFor(folder, names);
    listgen::FileHasher(kGoOn, nullptr, listgen::FileHasher::kDefaultBufferSize, true).hash(entries);
    return outcomesOf(entries);
}

struct Reader {
    listgen::ProgressCallback onProgress;
    listgen::ProgressMeter progress{onProgress};
    listgen::DevicePace pace{false, 0};
};

// Files changed a moment ago go to the file-by-file reader: once the last one written has
// settled, the io_uring reader reads them all itself.
void waitUntilSettled(const TempFolder& folder, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const listgen::FileDescriptor file(::open((folder / name).c_str(), O_RDONLY | O_CLOEXEC));
        listgen::FileVersion version;
        ASSERT_FALSE(listgen::FileVersion::measureSettled(file.get(), version)) << name;
    }
}

std::vector<std::string> byUringHasher(std::unique_ptr<FakeRing> ring, const TempFolder& folder,
                                       const std::vector<std::string>& names, UringHasher::Buffers buffers = {})
{
    Reader reader;
    std::vector<Entry> entries = entriesFor(folder, names);
    const FakeRing& fake = *ring;
    UringHasher hasher(std::move(ring), kGoOn, reader.progress, reader.pace, buffers, true);
    hasher.hash(entries);
    EXPECT_EQ(fake.filesRead, std::set<std::string>(names.begin(), names.end())) << "some not read through the ring";
    return outcomesOf(entries);
}

// Settled files below, at and above the sizes where the reader changes how it reads, and many
// small ones.
std::vector<std::string> makeFiles(const TempFolder& folder)
{
    std::vector<std::string> names;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{256} << 10,
                                   (std::size_t{256} << 10) + 1, (std::size_t{1} << 20) + 3, std::size_t{3} << 20}) {
        names.push_back(std::to_string(size) + "-bytes");
        writeFile(folder / names.back(), patternedBytes(size, 0));
    }
    for (std::size_t i = 0; i < 60; ++i) {
        names.push_back(std::to_string(i) + "s");
        writeFile(folder / names.back(), patternedBytes(i * 97, 1));
    }
    waitUntilSettled(folder, names);
    return names;
}

struct ReadResult {
    int result = 0;
    std::string bytes;
};

// One file opened and read through a ReadStep over `ring`.
ReadResult readThroughStep(FakeRing& ring, const TempFolder& folder, const std::string& name, std::size_t size)
{
    const auto handle = openFolder(folder.path().string());
    struct statx status {};
    std::string buffer(size + 1, '\0');
    ReadStep step(ring);
    std::vector<ReadStep::Done> done;
    const auto advanceTo = [&](std::size_t count) {
        while (done.size() < count)
            step.advance(done, std::chrono::milliseconds(10));
    };
    step.measureAndOpen(handle->fd.get(), name.c_str(), false, O_RDONLY, &status, 0, 1, 2);
    advanceTo(2);
    EXPECT_EQ(done[1].result, 0);
    step.read(0, buffer.data(), size + 1, 0, size, false, 3);
    advanceTo(3);
    step.close(0, 4);
    advanceTo(4);
    const int result = done[2].result;
    return {result, buffer.substr(0, static_cast<std::size_t>(std::max(result, 0)))};
}

} // namespace

// Short and interrupted reads are retried to the whole count, which shows a file that ended
// early or grew; real errors and endless retries come back as they are.
TEST(ReadStep, RetriesShortAndInterruptedReadsAndGivesRealErrors)
{
    TempFolder folder;
    constexpr std::size_t kSize = 100'000;
    writeFile(folder / "f", patternedBytes(kSize, 0));
    const struct {
        ReadFaults faults;
        std::size_t asked;
        int expected;
    } cases[] = {
        {{.mostBytesPerRead = 777, .eagain = 3, .eintr = 2}, kSize, kSize},
        {{.mostBytesPerRead = 300}, kSize + 200, kSize},
        {{}, kSize - 1, kSize},
        {{.failWith = EIO}, kSize, -EIO},
        {{.ecanceled = 1}, kSize, -ECANCELED},
        {{.eagain = 1000}, kSize, -EAGAIN},
        {{.eintr = 1000}, kSize, -EINTR},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(testing::Message() << "asked " << each.asked << ", expected " << each.expected);
        FakeRing ring;
        ring.faults["f"] = each.faults;
        const ReadResult read = readThroughStep(ring, folder, "f", each.asked);
        EXPECT_EQ(read.result, each.expected);
        EXPECT_EQ(read.bytes, each.expected > 0 ? patternedBytes(kSize, 0) : "");
    }
}

// Faults of the kernel, a full ring and few slots and buffers change nothing but the time taken.
TEST(UringHasher, GivesWhatTheFileByFileReaderGivesUnderEveryFault)
{
    TempFolder folder;
    const std::vector<std::string> names = makeFiles(folder);
    const std::vector<std::string> expected = byFileHasher(folder, names);
    const std::vector<std::string> unreadable(names.size(), "unreadable: Input/output error");
    const std::vector<ReadFaults> plans = {
        {}, {.mostBytesPerRead = 1000}, {.eagain = 5, .eintr = 5}, {.eagain = 10'000}, {.ecanceled = 10'000}, {.failWith = EIO},
    };
    for (const ReadFaults& plan : plans) {
        auto ring = std::make_unique<FakeRing>();
        for (const std::string& name : names)
            ring->faults[name] = plan;
        EXPECT_EQ(byUringHasher(std::move(ring), folder, names), plan.failWith != 0 ? unreadable : expected)
            << plan.mostBytesPerRead << " " << plan.eagain << " " << plan.ecanceled;
    }
    const UringHasher::Buffers tight{.arena = std::size_t{512} << 10, .chunks = 2};
    EXPECT_EQ(byUringHasher(std::make_unique<FakeRing>(4, 2), folder, names, tight), expected) << "tight";
}

// The progress callback fails once bytes have arrived, with reads of large files in flight;
// FakeRing fails the test if it still holds a request when the hasher lets it go.
TEST(UringHasher, AFailureMidBatchTakesEveryReadBackBeforeItsBuffersGo)
{
    Reader reader{.onProgress = [](const listgen::Progress&) { throw std::runtime_error("no room"); }};
    // The meter calls back only once 100 ms have passed since it started.
    const auto meterReady = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    TempFolder folder;
    std::vector<std::string> names = makeFiles(folder);
    names.resize(7);
    std::vector<Entry> entries = entriesFor(folder, names);
    auto ring = std::make_unique<FakeRing>();
    ring->readsBeforeHolding = 8;
    std::this_thread::sleep_until(meterReady);
    UringHasher hasher(std::move(ring), kGoOn, reader.progress, reader.pace, {});
    EXPECT_THROW(hasher.hash(entries), std::runtime_error);
}

TEST(UringHasher, ARingThatFailsMidBatchIsDrainedAndTheFailureComesThrough)
{
    TempFolder folder;
    std::vector<Entry> entries = entriesFor(folder, makeFiles(folder));
    Reader reader;
    auto ring = std::make_unique<FakeRing>();
    ring->failNextCall = true;
    UringHasher hasher(std::move(ring), kGoOn, reader.progress, reader.pace, {});
    EXPECT_THROW(hasher.hash(entries), std::runtime_error);
    EXPECT_THROW(hasher.hash(entries), std::logic_error) << "a reader that failed is not used again";
}

// Two readers sharing a queue, as in a run: with two, three and four large files each hashes a
// quarter of the bytes at least, and every digest is the file-by-file reader's.
// Which reader hashes what depends on the scheduler: on a loaded machine one reader may finish
// everything before the other wakes, so sharing is asked of one attempt in several.
TEST(UringHasher, TwoReadersShareTwoThreeAndFourLargeFiles)
{
    if (!listgen::UringRing::available())
        GTEST_SKIP() << "io_uring is not allowed here";
    constexpr std::size_t kSize = std::size_t{12} << 20;
    constexpr int kAttempts = 5;
    for (const std::size_t count : {2, 3, 4}) {
        TempFolder folder;
        std::vector<std::string> names;
        for (std::size_t i = 0; i < count; ++i) {
            names.push_back("large" + std::to_string(i));
            writeFile(folder / names.back(), patternedBytes(kSize, static_cast<unsigned>(i)));
        }
        waitUntilSettled(folder, names);
        const std::vector<std::string> expected = byFileHasher(folder, names);
        bool shared = false;
        for (int attempt = 0; attempt < kAttempts && !shared; ++attempt) {
            std::vector<Entry> entries = entriesFor(folder, names);
            const listgen::Placement placement(listgen::md5Rates(), 2, UringHasher::kMostStreams);
            listgen::WorkQueue queue(2, &placement);
            queue.add(0, entries);
            queue.closeInput();
            listgen::DevicePace pace(false, 0, 2);
            Reader readers[2];
            // Each sets up its own ring (a ring takes requests from the thread that made it),
            // and both wait for each other, so that neither is done before the other begins.
            std::latch ready(2);
            const auto read = [&](unsigned reader) {
                const auto hasher = UringHasher::create(kGoOn, readers[reader].progress, pace, true);
                ready.arrive_and_wait();
                hasher->work(queue, reader);
            };
            std::thread other(read, 1);
            read(0);
            other.join();
            ASSERT_EQ(outcomesOf(entries), expected) << count << " files";
            shared = readers[0].progress.bytes() >= count * kSize / 4 && readers[1].progress.bytes() >= count * kSize / 4;
        }
        EXPECT_TRUE(shared) << count << " files: in " << kAttempts << " runs, one reader always hashed under a quarter";
    }
}

// A stream that moved mid-file goes on from its state, to the digests of the whole file; a file
// changed since the first reader measured it is changed while read, never hashed on.
TEST(UringHasher, StreamsGoOnWhereAnotherReaderLeftThem)
{
    TempFolder folder;
    constexpr std::size_t kSize = (std::size_t{2} << 20) + 100;
    constexpr std::size_t kHalf = std::size_t{1} << 20;
    const std::string bytes = patternedBytes(kSize, 0);
    for (const bool changed : {false, true}) {
        writeFile(folder / "f", bytes);
        std::vector<Entry> entries = entriesFor(folder, {"f"});
        const std::vector<std::string> expected =
            changed ? std::vector<std::string>{"unreadable: ChangedWhileRead"} : byFileHasher(folder, {"f"});
        listgen::LargeFile file;
        file.claim = {&entries[0], 0};
        ASSERT_EQ(::statx(AT_FDCWD, (folder / "f").c_str(), 0, STATX_BASIC_STATS, &file.status), 0);
        file.offset = kHalf;
        listgen::Md5Lanes lanes;
        const auto stream = lanes.openStream(0);
        lanes.feed(stream, bytes.data(), kHalf, 0);
        file.md5 = lanes.exportStream(stream);
        listgen::Sha256Stream sha256;
        sha256.update(bytes.data(), kHalf);
        file.sha256 = sha256.state();
        if (changed)
            writeFile(folder / "f", bytes + "more");
        listgen::WorkQueue queue(1);
        ASSERT_TRUE(queue.addStream(0, file, kSize - kHalf));
        queue.giveUp(std::move(file));
        queue.closeInput();
        Reader reader;
        UringHasher(std::make_unique<FakeRing>(), kGoOn, reader.progress, reader.pace, {}, true).work(queue, 0);
        EXPECT_EQ(outcomesOf(entries), expected) << (changed ? "changed" : "unchanged");
    }
}

// Opening a FIFO or a device can have effects (a tape rewinds, a watchdog arms), so a name
// that became a link to one between the listing and the read is looked at, never opened.
TEST(Readers, NeverOpenAFifoThatANameWasSwappedFor)
{
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0644), 0);
    writeFile(folder / "listed-as-file", "f");
    std::vector<Entry> entries = entriesFor(folder, {"listed-as-file", "listed-as-link"});
    entries[1].throughLink = true;
    for (const char* name : {"listed-as-file", "listed-as-link"}) {
        ::unlink((folder / name).c_str());
        ASSERT_EQ(::symlink("fifo", (folder / name).c_str()), 0);
    }
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, (folder / "fifo").c_str(), IN_OPEN), 0);
    const auto opened = [&] {
        char event[4096];
        return ::read(watch, event, sizeof event) > 0;
    };
    const std::vector<std::string> refused(2, "unreadable: NotARegularFile");
    std::vector<Entry> byFile = entries;
    listgen::FileHasher(kGoOn).hash(byFile);
    EXPECT_EQ(outcomesOf(byFile), refused);
    EXPECT_FALSE(opened()) << "the file-by-file reader opened the FIFO";
    if (listgen::UringRing::available()) {
        Reader reader;
        std::vector<Entry> byRing = entries;
        UringHasher::create(kGoOn, reader.progress, reader.pace)->hash(byRing);
        EXPECT_EQ(outcomesOf(byRing), refused);
        EXPECT_FALSE(opened()) << "the io_uring reader opened the FIFO";
    }
    ::close(watch);
}

// Shrunk, grown, deleted or written in place keeping its size (which shows only in its times):
// a file that is no longer what was measured before the read is left out by both readers,
// never listed with a digest of no content it had.
TEST(Readers, LeaveOutAFileChangedInAnyWayWhileRead)
{
    TempFolder folder;
    const std::string path = folder / "changing";
    const std::pair<off_t, std::function<void()>> changes[] = {
        {off_t{1} << 36, [&] { EXPECT_EQ(::truncate(path.c_str(), off_t{1} << 20), 0); }},
        {off_t{1} << 29, [&] { EXPECT_EQ(::truncate(path.c_str(), off_t{1} << 36), 0); }},
        {off_t{1} << 29, [&] { ::unlink(path.c_str()); }},
        {off_t{1} << 29, [&] {
             const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
             EXPECT_EQ(::pwrite(fd, "x", 1, off_t{1} << 28), 1);
             ::close(fd);
         }},
    };
    const std::function<void(std::vector<Entry>&)> readers[] = {
        [](std::vector<Entry>& entries) { listgen::FileHasher(kGoOn).hash(entries); },
        [](std::vector<Entry>& entries) {
            Reader reader;
            UringHasher::create(kGoOn, reader.progress, reader.pace)->hash(entries);
        },
    };
    for (std::size_t which = 0; which < (listgen::UringRing::available() ? 2 : 1); ++which) {
        for (const auto& [size, change] : changes) {
            makeSparseFile(path, size);
            waitUntilSettled(folder, {"changing"});
            std::vector<Entry> entries = entriesFor(folder, {"changing"});
            // A moment after the read began.
            std::thread changer([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                change();
            });
            readers[which](entries);
            changer.join();
            EXPECT_EQ(outcomesOf(entries), std::vector<std::string>{"unreadable: ChangedWhileRead"})
                << (which == 0 ? "file by file, " : "io_uring, ") << size << " bytes";
        }
    }
}
