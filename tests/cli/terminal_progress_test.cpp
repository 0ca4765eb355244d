#include "cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using vaskerel::TerminalProgress;

namespace {

// What a progress line writes for a long count, then a short one, then at its end.
std::string written(bool escapes)
{
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = ::open_memstream(&text, &size);
    {
        TerminalProgress progress(stream, escapes);
        progress.show({123456, 5 << 20});
        progress.show({7, 0});
    }
    std::fclose(stream);
    std::string result(text, size);
    std::free(text);
    return result;
}

} // namespace

TEST(TerminalProgress, ErasesWithEscapesOnlyWhereTheTerminalHasThem)
{
    EXPECT_FALSE(vaskerel::terminalHasEscapes(nullptr));
    EXPECT_FALSE(vaskerel::terminalHasEscapes(""));
    EXPECT_FALSE(vaskerel::terminalHasEscapes("dumb"));
    EXPECT_TRUE(vaskerel::terminalHasEscapes("xterm-256color"));

    const std::string withEscapes = written(true);
    EXPECT_TRUE(withEscapes.starts_with("\r\033[K123456 files, 5.0 MiB, ")) << withEscapes;
    EXPECT_TRUE(withEscapes.ends_with("\r\033[K7 files, 0 B, 0 B/s\r\033[K")) << withEscapes;

    // Without escapes, blanks cover what a longer line left, and the end blanks the line out.
    const std::string plain = written(false);
    EXPECT_EQ(plain.find('\033'), std::string::npos) << plain;
    const std::size_t second = plain.find("\r7 files");
    ASSERT_NE(second, std::string::npos) << plain;
    const std::size_t firstLength = second - 1;
    const std::string shortLine = "7 files, 0 B, 0 B/s";
    EXPECT_EQ(plain.substr(second), "\r" + shortLine + std::string(firstLength - shortLine.size(), ' ') + "\r" +
                                        std::string(shortLine.size(), ' ') + "\r");
}
