#include "listgen/read/whole_file_arena.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <algorithm>

using listgen::WholeFileArena;

namespace {

constexpr std::size_t kKiB = 1024;

} // namespace

// What used to stall every reader: room at the oldest end must come back while younger
// pieces are still out, not only once the whole arena is empty.
TEST(WholeFileArena, RoomAtTheOldestEndIsTakenAgainWhileYoungerPiecesAreOut)
{
    WholeFileArena arena(4 * kKiB);
    EXPECT_EQ(arena.take(4 * kKiB + 1), nullptr) << "more than it holds";
    char* pieces[4];
    for (char*& piece : pieces)
        ASSERT_NE(piece = arena.take(kKiB), nullptr);
    EXPECT_EQ(arena.take(1), nullptr) << "full";
    arena.giveBack(pieces[1]);
    EXPECT_EQ(arena.take(kKiB), nullptr) << "a piece given back early waits for the older ones";
    arena.giveBack(pieces[0]);
    EXPECT_EQ(arena.take(2 * kKiB), pieces[0]) << "wrapped to the start";
    EXPECT_EQ(arena.take(1), nullptr);
    arena.giveBack(pieces[2]);
    arena.giveBack(pieces[3]);
    EXPECT_NE(arena.take(2 * kKiB), nullptr) << "the end came free in its turn";
}

// Random sizes given back in random order, as digests come out of the lanes: pieces in use
// never overlap or leave the arena, and each one keeps what was written into it.
TEST(WholeFileArena, PiecesInUseNeverOverlap)
{
    constexpr std::size_t kSize = 64 * kKiB;
    WholeFileArena arena(kSize);
    // The first piece of an empty arena starts it.
    char* const start = arena.take(1);
    arena.giveBack(start);
    std::mt19937 random(7);
    struct Out {
        char* data;
        std::size_t size;
        char mark;
    };
    std::deque<Out> out;
    std::size_t taken = 0;
    for (int step = 0; step < 20000; ++step) {
        if (out.empty() || random() % 3 != 0) {
            const std::size_t size = 1 + random() % (random() % 8 == 0 ? 20 * kKiB : 700);
            char* data = arena.take(size);
            if (data == nullptr)
                continue;
            ASSERT_TRUE(data >= start && data + size <= start + kSize) << "outside the arena";
            for (const Out& other : out)
                ASSERT_TRUE(data + size <= other.data || other.data + other.size <= data) << "overlaps a piece in use";
            const char mark = static_cast<char>(step);
            std::fill(data, data + size, mark);
            out.push_back({data, size, mark});
            ++taken;
        } else {
            // Mostly the oldest first, sometimes any other.
            const std::size_t which = random() % 4 == 0 ? random() % out.size() : 0;
            const Out piece = out[which];
            for (std::size_t i = 0; i < piece.size; ++i)
                ASSERT_EQ(piece.data[i], piece.mark) << "overwritten while in use";
            arena.giveBack(piece.data);
            out.erase(out.begin() + static_cast<std::ptrdiff_t>(which));
        }
    }
    EXPECT_GT(taken, 5000U);
}
