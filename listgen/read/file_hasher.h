#pragma once

#include "listgen/common/progress_meter.h"
#include "listgen/digest/evp_digest.h"
#include "listgen/read/ordered_pipeline.h"
#include "listgen/digest/sha256_stream.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace listgen {

// Opens, sizes and digests files one after another with one reused read buffer.
class FileHasher : public FileByFileHasher {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;

    // Bytes read go to `progress` when there is one; `sha256` adds that digest to MD5.
    explicit FileHasher(const std::atomic<bool>& cancel, ProgressMeter* progress = nullptr,
                        std::size_t bufferSize = kDefaultBufferSize, bool sha256 = false);

    using FileByFileHasher::hash;
    // Opens the entry by its name in its folder. Size and digest come from the same read, and
    // the file's version is measured before and after it, so a file that changes meanwhile is
    // left out rather than reported with a digest of no content it ever had; files of pseudo
    // file systems count with what they gave, up to their stated size or a bound.
    void hash(Entry& entry) override;

private:
    // Digests the file to its end, or to one read past `most` bytes; returns the bytes read.
    // `pseudo`: a read that would block is the end. Leaves the entry Hashed with what was
    // read, or Unreadable or Cancelled.
    std::uint64_t GetFileMD5(int fd, std::uint64_t most, bool pseudo, Entry& entry);

    const std::atomic<bool>& cancel_;
    ProgressMeter* progress_;
    std::size_t bufferSize_;
    std::unique_ptr<char[]> buffer_;
    EvpMd5 digest_;
    std::unique_ptr<Sha256Stream> sha256_;
};

} // namespace listgen
