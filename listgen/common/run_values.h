#pragma once

#include "listgen/common/digest_text.h"
#include "listgen/common/file_identity.h"
#include "listgen/common/path_split.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace listgen {

struct FileFacts {
    std::uint64_t size = 0;
    Md5Hex md5{};
    // Only when the run asked for SHA-256 too.
    Sha256Hex sha256{};
};

// One entry below the input folder on its way from the walk through the hashers to a sink.
struct Entry {
    enum class Kind {
        File,             // found by the walk, not hashed yet
        Hashed,           // `facts` hold what was read
        Unreadable,       // `reason` says why
        UnlistableFolder, // the walk could not enter it; `reason` says why
        OtherFileSystem,  // a folder on another file system, not entered
        Cancelled,
    };
    Kind kind = Kind::File;
    // The full path, as shown and reported; never resolved again.
    std::string path;
    // The folder the entry is opened in, by its own name, the last part of `path`.
    SharedFolder folder;
    // As the folder listing gave it, for reading in disk order.
    std::uint64_t inode = 0;
    // Listed as a symbolic link to a file; any other name is opened without following links.
    bool throughLink = false;
    FileFacts facts;
    // With Unreadable and UnlistableFolder: an errno value or a RunError.
    std::error_code reason;

    std::string_view name() const noexcept { return folderAndName(path).name; }
};

// An entry below the input folder that the report leaves out, and why.
struct SkippedEntry {
    enum class Kind { File, Folder };
    Kind kind = Kind::File;
    std::string path;
    std::error_code reason;
};

struct Progress {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// Called on a working thread, a few times a second at most and once at the end.
using ProgressCallback = std::function<void(const Progress&)>;

} // namespace listgen
