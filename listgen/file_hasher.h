#pragma once

#include "listgen/file_identity.h"
#include "listgen/md5_digest.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace listgen {

struct FileFacts {
    std::uint64_t size = 0;
    Md5Digest::Hex md5{};
};

struct HashResult {
    enum class Kind { Hashed, Excluded, Failed, Cancelled };
    Kind kind = Kind::Failed;
    FileFacts facts;
    std::string reason;
};

// Opens, sizes and digests files one after another with one reused read buffer.
class FileHasher {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;

    explicit FileHasher(std::size_t bufferSize = kDefaultBufferSize);

    // Size and digest come from the same read, so a file that changes meanwhile is refused
    // rather than reported with a size and digest that never belonged together.
    HashResult hash(const std::string& path, const FileIdentities& excluded, const std::atomic<bool>& cancel);

private:
    HashResult GetFileMD5(int fd, std::uint64_t expectedSize, const std::atomic<bool>& cancel);

    std::size_t bufferSize_;
    std::unique_ptr<char[]> buffer_;
    Md5Digest digest_;
};

} // namespace listgen
