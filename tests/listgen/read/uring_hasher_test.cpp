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

#include <openssl/sha.h>

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

std::string content(std::size_t size)
{
    return patternedBytes(size, 0);
}

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

std::string outcomeOf(const Entry& entry)
{
    switch (entry.kind) {
    case Entry::Kind::Hashed:
        return std::to_string(entry.facts.size) + " " + std::string(entry.facts.md5.data(), entry.facts.md5.size());
    case Entry::Kind::Unreadable: return "unreadable: " + entry.reason.message();
    case Entry::Kind::Cancelled: return "cancelled";
    default: return "untouched";
    }
}

Entry unreadable(listgen::RunError reason)
{
    Entry entry;
    entry.kind = Entry::Kind::Unreadable;
    entry.reason = listgen::make_error_code(reason);
    return entry;
}

std::vector<std::string> outcomesOf(const std::vector<Entry>& entries)
{
    std::vector<std::string> outcomes;
    for (const Entry& entry : entries)
        outcomes.push_back(outcomeOf(entry));
    return outcomes;
}

// What the file-by-file reader makes of the same files: the reference for the io_uring one.
std::vector<std::string> byFileHasher(const TempFolder& folder, const std::vector<std::string>& names)
{
    std::vector<Entry> entries = entriesFor(folder, names);
    listgen::FileHasher(kGoOn).hash(entries);
    return outcomesOf(entries);
}

struct Reader {
    listgen::ProgressCallback onProgress;
    listgen::ProgressMeter progress{onProgress};
    listgen::DevicePace pace{false, 0};
};

std::vector<std::string> byUringHasher(std::unique_ptr<FakeRing> ring, const TempFolder& folder,
                                       const std::vector<std::string>& names, UringHasher::Buffers buffers = {})
{
    Reader reader;
    std::vector<Entry> entries = entriesFor(folder, names);
    UringHasher(std::move(ring), kGoOn, reader.progress, reader.pace, buffers).hash(entries);
    return outcomesOf(entries);
}

// A tree with files below, at and above the sizes where the reader changes how it reads.
std::vector<std::string> makeFiles(const TempFolder& folder)
{
    std::vector<std::string> names;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{256} << 10,
                                   (std::size_t{256} << 10) + 1, (std::size_t{1} << 20) + 3, std::size_t{3} << 20}) {
        names.push_back(std::to_string(size) + "-bytes");
        writeFile(folder / names.back(), content(size));
    }
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
    writeFile(folder / "f", content(kSize));
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
        EXPECT_EQ(read.bytes, each.expected > 0 ? content(kSize) : "");
    }
}

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
}

TEST(UringHasher, AFullRingAndFewSlotsAndBuffersOnlySlowItDown)
{
    TempFolder folder;
    std::vector<std::string> names = makeFiles(folder);
    for (int i = 0; i < 100; ++i) {
        names.push_back(std::to_string(i) + "s");
        writeFile(folder / names.back(), content(static_cast<std::size_t>(i) * 97));
    }
    const std::vector<std::string> expected = byFileHasher(folder, names);
    auto ring = std::make_unique<FakeRing>(4, 2);
    const UringHasher::Buffers tight{.arena = std::size_t{512} << 10, .chunks = 2};
    EXPECT_EQ(byUringHasher(std::move(ring), folder, names, tight), expected);
}

TEST(UringHasher, SmallFilesNeverWaitBehindALargeOne)
{
    TempFolder folder;
    std::vector<std::string> names = {"large"};
    writeFile(folder / "large", content(std::size_t{4} << 20));
    for (int i = 0; i < 31; ++i) {
        names.push_back(std::to_string(i) + "-small");
        writeFile(folder / names.back(), content(100));
    }
    const std::vector<std::string> expected = byFileHasher(folder, names);
    auto ring = std::make_unique<FakeRing>();
    ring->slowFile = "large";
    ring->slowForCalls = 1000;
    const FakeRing& fake = *ring;
    Reader reader;
    std::vector<Entry> entries = entriesFor(folder, names);
    UringHasher hasher(std::move(ring), kGoOn, reader.progress, reader.pace, {});
    hasher.hash(entries);
    EXPECT_EQ(fake.readsWhileSlow, 31U);
    EXPECT_EQ(outcomesOf(entries), expected);
}

TEST(UringHasher, AFailureMidBatchTakesEveryReadBackBeforeItsBuffersGo)
{
    TempFolder folder;
    const std::vector<std::string> names = makeFiles(folder);
    std::vector<Entry> entries = entriesFor(folder, names);
    // The progress callback fails once bytes have arrived, with reads of large files in flight.
    Reader reader{.onProgress = [](const listgen::Progress&) { throw std::runtime_error("no room"); }};
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    auto ring = std::make_unique<FakeRing>();
    ring->readsBeforeHolding = 8;
    UringHasher hasher(std::move(ring), kGoOn, reader.progress, reader.pace, {});
    EXPECT_THROW(hasher.hash(entries), std::runtime_error);
    // FakeRing fails the test if it still holds a request when the hasher lets it go.
}

TEST(UringHasher, ARingThatFailsMidBatchIsDrainedAndTheFailureComesThrough)
{
    TempFolder folder;
    const std::vector<std::string> names = makeFiles(folder);
    std::vector<Entry> entries = entriesFor(folder, names);
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
        // Files written so lately that a write may be under way go to the file-by-file reader.
        for (const std::string& name : names) {
            const listgen::FileDescriptor file(::open((folder / name).c_str(), O_RDONLY | O_CLOEXEC));
            listgen::FileVersion version;
            ASSERT_FALSE(listgen::FileVersion::measureSettled(file.get(), version)) << name;
        }
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
                const auto hasher = UringHasher::create(kGoOn, readers[reader].progress, pace);
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
    const std::string bytes = content(kSize);
    for (const bool changed : {false, true}) {
        writeFile(folder / "f", bytes);
        std::vector<Entry> entries = entriesFor(folder, {"f"});
        const std::vector<std::string> expected =
            changed ? std::vector<std::string>{outcomeOf(unreadable(listgen::RunError::ChangedWhileRead))}
                    : byFileHasher(folder, {"f"});
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
        if (!changed) {
            std::vector<Entry> whole = entriesFor(folder, {"f"});
            listgen::FileHasher(kGoOn, nullptr, listgen::FileHasher::kDefaultBufferSize, true).hash(whole);
            EXPECT_EQ(entries[0].facts.sha256, whole[0].facts.sha256);
        }
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

// A write in place that keeps the size shows only in the file's times: both readers measure
// the file again after reading it, and leave it out.
TEST(Readers, LeaveOutAFileRewrittenInPlaceWhileRead)
{
    TempFolder folder;
    makeSparseFile(folder / "big", off_t{1} << 29);
    const auto hashWhileWritten = [&](const std::function<void(std::vector<Entry>&)>& hash) {
        std::vector<Entry> entries = entriesFor(folder, {"big"});
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int fd = ::open((folder / "big").c_str(), O_WRONLY | O_CLOEXEC);
            EXPECT_EQ(::pwrite(fd, "x", 1, off_t{1} << 28), 1);
            ::close(fd);
        });
        hash(entries);
        writer.join();
        return outcomesOf(entries);
    };
    const std::vector<std::string> leftOut = {"unreadable: ChangedWhileRead"};
    EXPECT_EQ(hashWhileWritten([](std::vector<Entry>& entries) { listgen::FileHasher(kGoOn).hash(entries); }), leftOut);
    if (listgen::UringRing::available()) {
        Reader reader;
        EXPECT_EQ(hashWhileWritten([&](std::vector<Entry>& entries) {
                      UringHasher::create(kGoOn, reader.progress, reader.pace)->hash(entries);
                  }),
                  leftOut);
    }
}

// SHA-256 comes from the same bytes as MD5, through whole reads and streams alike; OpenSSL's
// one-shot function over the content in memory is the reference.
TEST(Readers, GiveSha256OfEveryLengthAndAcrossChunks)
{
    TempFolder folder;
    std::vector<std::string> names;
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 1100; ++size)
        sizes.push_back(size);
    for (const std::size_t size : {(std::size_t{256} << 10) + 1, (std::size_t{1} << 20) + 63, std::size_t{3} << 20})
        sizes.push_back(size);
    std::vector<std::string> expected;
    for (const std::size_t size : sizes) {
        names.push_back(std::to_string(size) + "-bytes");
        const std::string bytes = content(size);
        writeFile(folder / names.back(), bytes);
        std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
        ::SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest.data());
        const auto hex = listgen::toHex(digest);
        expected.emplace_back(hex.data(), hex.size());
    }
    const auto sha256Of = [](const std::vector<Entry>& entries) {
        std::vector<std::string> digests;
        for (const Entry& entry : entries)
            digests.push_back(entry.kind == Entry::Kind::Hashed
                                  ? std::string(entry.facts.sha256.data(), entry.facts.sha256.size())
                                  : outcomeOf(entry));
        return digests;
    };
    std::vector<Entry> byFile = entriesFor(folder, names);
    listgen::FileHasher(kGoOn, nullptr, listgen::FileHasher::kDefaultBufferSize, true).hash(byFile);
    EXPECT_EQ(sha256Of(byFile), expected);
    Reader reader;
    auto ring = std::make_unique<FakeRing>();
    for (const std::string& name : names)
        ring->faults[name] = {.mostBytesPerRead = 100'000};
    std::vector<Entry> byRing = entriesFor(folder, names);
    UringHasher(std::move(ring), kGoOn, reader.progress, reader.pace, {}, true).hash(byRing);
    EXPECT_EQ(sha256Of(byRing), expected);
}
