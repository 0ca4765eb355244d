#pragma once

#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <tuple>

namespace vaskerel {

// What stands where a report is to be written.
struct ExistingOutput {
    enum class Kind {
        // Nothing, or nothing a run would replace: it refuses what is no regular file.
        None,
        // A report that reads back as one this tool wrote.
        Report,
        // Any other file, which a report would destroy.
        Other,
    };
    Kind kind = Kind::None;
    std::uint64_t size = 0;
    // The file's type in the desktop's words, such as "JPEG 画像".
    QString type;
    // Which file it is and when it last changed, to know it again.
    std::tuple<dev_t, ino_t, off_t, time_t, long> stamp{};

    friend bool operator==(const ExistingOutput&, const ExistingOutput&) = default;
};

// Looks at what `path` leads to, links followed as the run follows them. A report is read back
// for its first megabyte or so, enough to tell it from anything else without keeping the window
// waiting (under 50 ms).
ExistingOutput existingOutput(const QString& path);

} // namespace vaskerel
