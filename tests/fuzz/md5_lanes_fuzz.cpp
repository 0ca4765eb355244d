// Any mix of whole messages and chunked streams, submitted, fed, hashed and flushed in any
// order and under any capacity limits, must give OpenSSL's digest for every message, and
// must release every chunk exactly once and only when it is no longer read: chunks are
// overwritten the moment they are released.
#include "listgen/hashing/md5_lanes.h"

#include <openssl/evp.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

using listgen::Md5KernelSet;
using listgen::Md5Lanes;
using Bytes = std::vector<unsigned char>;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

struct KernelChoice {
    Md5KernelSet set;
    unsigned lanes;
};

const std::vector<KernelChoice>& kernelChoices()
{
    static const std::vector<KernelChoice> choices = [] {
        std::vector<KernelChoice> all;
        for (const Md5KernelSet set : {Md5KernelSet::Avx512, Md5KernelSet::Avx2, Md5KernelSet::Sse2,
                                       Md5KernelSet::Scalar, Md5KernelSet::OpenSsl}) {
            if (!listgen::cpuRuns(set))
                continue;
            all.push_back({set, 0});
            for (const unsigned lanes : Md5Lanes::laneCounts(set))
                all.push_back({set, lanes});
        }
        return all;
    }();
    return choices;
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ == size_; }
    unsigned byte() { return at_ < size_ ? data_[at_++] : 0; }
    unsigned twoBytes() { return byte() | byte() << 8; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

Bytes pseudoRandomBytes(std::size_t size, std::uint32_t seed)
{
    Bytes bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<unsigned char>(x);
    }
    return bytes;
}

class Harness {
public:
    explicit Harness(const Md5Lanes::Options& options) : lanes_(options) {}

    void submit(Bytes message)
    {
        const std::uint64_t tag = nextTag_++;
        auto& kept = contents_[tag] = std::make_unique<Bytes>(std::move(message));
        while (!lanes_.submit(kept->data(), kept->size(), tag))
            makeRoom();
    }

    void open()
    {
        const std::uint64_t tag = nextTag_++;
        Md5Lanes::StreamId id;
        while ((id = lanes_.openStream(tag)) == Md5Lanes::kNoStream) {
            // Every slot may hold a stream still open here; only finished ones make room.
            if (!open_.empty())
                finish(0);
            makeRoom();
        }
        open_.push_back({id, tag});
        contents_[tag] = std::make_unique<Bytes>();
    }

    void feed(unsigned which, Bytes chunk)
    {
        if (open_.empty())
            return;
        const auto& [id, tag] = open_[which % open_.size()];
        contents_[tag]->insert(contents_[tag]->end(), chunk.begin(), chunk.end());
        const std::uint64_t chunkTag = nextChunkTag_++;
        auto& kept = chunks_[chunkTag] = std::make_unique<Bytes>(std::move(chunk));
        while (!lanes_.feed(id, kept->data(), kept->size(), chunkTag))
            makeRoom();
    }

    void finish(unsigned which)
    {
        if (open_.empty())
            return;
        const auto position = open_.begin() + which % open_.size();
        lanes_.finish(position->first);
        open_.erase(position);
    }

    void hash()
    {
        lanes_.hash();
        collect();
    }

    void check()
    {
        while (!open_.empty())
            finish(0);
        lanes_.flush();
        collect();
        require(lanes_.idle());
        require(chunks_.empty());
        require(digests_.size() == contents_.size());
        for (const auto& [tag, content] : contents_) {
            listgen::Md5Value expected{};
            unsigned int length = 0;
            EVP_Digest(content->data(), content->size(), expected.data(), &length, EVP_md5(), nullptr);
            require(digests_.at(tag) == expected);
        }
    }

private:
    void makeRoom()
    {
        lanes_.flush();
        collect();
    }

    void collect()
    {
        listgen::Md5Result results[3];
        while (const std::size_t count = lanes_.takeDigests(results)) {
            for (std::size_t i = 0; i < count; ++i)
                require(digests_.emplace(results[i].tag, results[i].value).second);
        }
        std::uint64_t tags[3];
        while (const std::size_t count = lanes_.takeReleased(tags)) {
            for (std::size_t i = 0; i < count; ++i) {
                const auto chunk = chunks_.find(tags[i]);
                require(chunk != chunks_.end());
                for (auto& byte : *chunk->second)
                    byte ^= 0x5A;
                chunks_.erase(chunk);
            }
        }
    }

    Md5Lanes lanes_;
    std::uint64_t nextTag_ = 0;
    std::uint64_t nextChunkTag_ = 0;
    std::vector<std::pair<Md5Lanes::StreamId, std::uint64_t>> open_;
    std::map<std::uint64_t, std::unique_ptr<Bytes>> contents_;
    std::map<std::uint64_t, std::unique_ptr<Bytes>> chunks_;
    std::map<std::uint64_t, listgen::Md5Value> digests_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input input(data, size);
    const KernelChoice choice = kernelChoices()[input.byte() % kernelChoices().size()];
    Md5Lanes::Options options;
    options.kernels = choice.set;
    if (choice.lanes != 0)
        options.widestLanes = options.narrowestLanes = choice.lanes;
    options.messages = 1 + input.byte() % 40;
    options.streams = 1 + input.byte() % 4;
    options.chunksPerStream = 1 + input.byte() % 3;
    Harness harness(options);

    for (std::uint32_t step = 0; !input.empty() && step < 400; ++step) {
        switch (input.byte() % 5) {
        case 0:
            harness.submit(pseudoRandomBytes(input.twoBytes() % 3000, step));
            break;
        case 1:
            harness.open();
            break;
        case 2: {
            const unsigned which = input.byte();
            harness.feed(which, pseudoRandomBytes(input.twoBytes() % 2000, step));
            break;
        }
        case 3:
            harness.finish(input.byte());
            break;
        default:
            harness.hash();
            break;
        }
    }
    harness.check();
    return 0;
}
