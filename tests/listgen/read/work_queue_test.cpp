#include "listgen/read/work_queue.h"

#include <gtest/gtest.h>

#include <vector>

using listgen::Claim;
using listgen::Entry;
using listgen::LargeFile;
using listgen::WorkQueue;

namespace {

std::vector<Entry> files(std::size_t count)
{
    std::vector<Entry> entries(count);
    for (std::size_t i = 0; i < count; ++i)
        entries[i].path = std::to_string(i);
    return entries;
}

LargeFile largeFile(Entry& entry)
{
    LargeFile file;
    file.claim = {&entry, 0};
    return file;
}

// One lane at twice the rate of two: two large files run faster on two readers than on one.
const listgen::Md5KernelRates kRates({{"scalar-2", 2, 300e6}, {"scalar-1", 1, 500e6}});

} // namespace

TEST(WorkQueue, HandsOutFilesInWalkOrderAndKnowsWhenABatchIsDone)
{
    WorkQueue queue(2);
    std::vector<Entry> first = files(5);
    first[1].kind = Entry::Kind::UnlistableFolder;
    std::vector<Entry> second = files(2);
    queue.add(0, first);
    queue.add(1, second);
    Claim claims[3];
    ASSERT_EQ(queue.claim(claims), 3U);
    EXPECT_EQ(claims[0].entry, &first[0]);
    EXPECT_EQ(claims[1].entry, &first[2]);
    EXPECT_EQ(claims[2].entry, &first[3]);
    queue.finished(claims);
    EXPECT_FALSE(queue.done(0));
    ASSERT_EQ(queue.claim(claims), 3U);
    EXPECT_EQ(claims[0].batch, 0U);
    EXPECT_EQ(claims[1].entry, &second[0]);
    queue.finished(claims[0]);
    EXPECT_TRUE(queue.done(0));
    EXPECT_FALSE(queue.done(1));
    queue.closeInput();
    EXPECT_FALSE(queue.waitForWork(0, std::chrono::milliseconds(0))) << "nothing is left to take";
}

// A reader that took every file may still pass a large one on: until it has none left, the
// others wait rather than stop.
TEST(WorkQueue, ReadersWaitWhileAnotherMayStillPassAFileOn)
{
    const listgen::Placement placement(kRates, 2, 2);
    WorkQueue queue(2, &placement);
    std::vector<Entry> entries = files(4);
    queue.add(0, entries);
    queue.closeInput();
    Claim claims[4];
    ASSERT_EQ(queue.claim(claims), 4U);
    queue.setBusy(0, true);
    EXPECT_TRUE(queue.waitForWork(1, std::chrono::milliseconds(0))) << "reader 1 stopped while reader 0 held files";
    LargeFile first = largeFile(entries[2]);
    LargeFile second = largeFile(entries[3]);
    ASSERT_TRUE(queue.addStream(0, first, 100));
    ASSERT_FALSE(queue.addStream(0, second, 100));
    EXPECT_TRUE(queue.takeLarge(1));
    queue.setBusy(0, false);
    EXPECT_FALSE(queue.waitForWork(1, std::chrono::milliseconds(0)));
}

// A reader that fell back to reading file by file never takes a large file: none may wait for it.
TEST(WorkQueue, NoLargeFileWaitsForAFileByFileReader)
{
    const listgen::Placement placement(kRates, 2, 2);
    WorkQueue queue(2, &placement);
    queue.takesNoStreams(1);
    std::vector<Entry> entries = files(2);
    for (Entry& entry : entries) {
        LargeFile file = largeFile(entry);
        EXPECT_TRUE(queue.addStream(0, file, 100));
    }
}
