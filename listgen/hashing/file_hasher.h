#pragma once

#include "listgen/hashing/md5_digest.h"
#include "listgen/hashing/ordered_pipeline.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace listgen {

// Opens, sizes and digests files one after another with one reused read buffer.
class FileHasher : public EntryHasher {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;

    explicit FileHasher(const std::atomic<bool>& cancel, std::size_t bufferSize = kDefaultBufferSize);

    // Opens the entry by its name in its folder. Size and digest come from the same read, so a
    // file that changes meanwhile is refused rather than reported with a size and digest that
    // never belonged together.
    void hash(Entry& entry) override;

private:
    void GetFileMD5(int fd, std::uint64_t expectedSize, Entry& entry);

    const std::atomic<bool>& cancel_;
    std::size_t bufferSize_;
    std::unique_ptr<char[]> buffer_;
    Md5Digest digest_;
};

} // namespace listgen
