#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// A fresh folder per test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const noexcept { return path_; }
    std::string operator/(std::string_view relative) const { return (path_ / relative).string(); }

    // Lets an unprivileged child write here too.
    void openToEveryone() const;

private:
    std::filesystem::path path_;
};

// Writes a file, making the folders it lies in where they are missing.
void writeFile(const std::string& path, std::string_view content);
// Bytes that differ from place to place and from seed to seed, so that a part read twice,
// skipped or taken from another file changes a digest.
std::string patternedBytes(std::size_t size, unsigned seed);
std::string readFile(const std::string& path);
// A file of `size` bytes that takes no disk space: long to hash, quick to make.
void makeSparseFile(const std::string& path, long long size);
// Makes `depth` nested folders named `level` below `root`, deeper than any path may be long,
// and a file `name` at the bottom.
void makeDeepTree(const std::string& root, const std::string& level, int depth, const std::string& name);
// Every name in a folder, sorted, so a stray temporary file shows up in a comparison.
std::string namesIn(const std::string& folder);

// Every entry below a folder with its kind, size, mode and modification time, one per line,
// to show that a run changed nothing in the tree it read.
std::string treeSnapshot(const std::string& root);

} // namespace testing_support
