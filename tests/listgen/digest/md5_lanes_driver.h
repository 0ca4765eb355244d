#pragma once

#include "listgen/digest/md5_lanes.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<unsigned char>;

inline listgen::Md5Value opensslMd5(const Bytes& bytes)
{
    listgen::Md5Value value{};
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), value.data(), &length, EVP_md5(), nullptr);
    return value;
}

// One kernel set with every kernel of its ladder (lanes 0), or with one lane count only.
struct KernelChoice {
    listgen::Md5KernelSet set;
    unsigned lanes;
};

// Every choice of every set, whether this CPU runs it or not.
inline std::vector<KernelChoice> allKernelChoices()
{
    using listgen::Md5KernelSet;
    std::vector<KernelChoice> choices;
    for (const Md5KernelSet set :
         {Md5KernelSet::Avx512, Md5KernelSet::Avx2, Md5KernelSet::Sse2, Md5KernelSet::Scalar, Md5KernelSet::OpenSsl}) {
        choices.push_back({set, 0});
        const std::vector<unsigned> counts = listgen::Md5Lanes::laneCounts(set);
        for (const unsigned lanes : counts.size() > 1 ? counts : std::vector<unsigned>())
            choices.push_back({set, lanes});
    }
    return choices;
}

inline listgen::Md5Lanes::Options optionsFor(const KernelChoice& choice)
{
    listgen::Md5Lanes::Options options;
    options.kernels = choice.set;
    if (choice.lanes != 0)
        options.widestLanes = options.narrowestLanes = choice.lanes;
    return options;
}

// Feeds whole messages and chunked streams as a reader thread does, making room whenever the
// lanes are full, and checks every digest against OpenSSL's at the end. Each message and chunk
// is a copy of exactly its size, so that AddressSanitizer sees a read past its end, and a chunk
// is overwritten the moment it is released, so that a lane still reading it gives a wrong
// digest. What went wrong is collected in problems().
class Md5LanesDriver {
public:
    explicit Md5LanesDriver(listgen::Md5Lanes& lanes) : lanes_(lanes) {}

    void submit(const Bytes& message, std::uint64_t tag)
    {
        const Bytes& kept = contents_[tag] = message;
        while (!lanes_.submit(kept.data(), kept.size(), tag))
            makeRoom();
    }

    // A new stream, or kNoStream while every slot holds one that is not finished.
    listgen::Md5Lanes::StreamId open(std::uint64_t tag)
    {
        listgen::Md5Lanes::StreamId stream = lanes_.openStream(tag);
        if (stream == listgen::Md5Lanes::kNoStream) {
            makeRoom();
            stream = lanes_.openStream(tag);
        }
        if (stream != listgen::Md5Lanes::kNoStream)
            contents_[tag].clear();
        return stream;
    }

    void feed(listgen::Md5Lanes::StreamId stream, std::uint64_t tag, const Bytes& chunk)
    {
        contents_.at(tag).insert(contents_.at(tag).end(), chunk.begin(), chunk.end());
        const Bytes& kept = chunks_[nextChunkTag_] = chunk;
        while (!lanes_.feed(stream, kept.data(), kept.size(), nextChunkTag_))
            makeRoom();
        ++nextChunkTag_;
    }

    void hash()
    {
        lanes_.hash();
        collect();
    }

    // After every stream was finished: all digests out, all chunks back, each digest right.
    void finishAll()
    {
        makeRoom();
        if (!lanes_.idle() || !chunks_.empty())
            problems_ += "busy after the flush, " + std::to_string(chunks_.size()) + " chunks never released\n";
        for (const auto& [tag, content] : contents_) {
            if (!digests_.contains(tag) || digests_.at(tag) != opensslMd5(content))
                problems_ += "tag " + std::to_string(tag) + ", " + std::to_string(content.size()) + " bytes: wrong digest\n";
        }
    }

    const std::string& problems() const noexcept { return problems_; }

private:
    void makeRoom()
    {
        lanes_.flush();
        collect();
    }

    void collect()
    {
        listgen::Md5Result results[7];
        while (const std::size_t count = lanes_.takeDigests(results)) {
            for (std::size_t i = 0; i < count; ++i) {
                if (!digests_.emplace(results[i].tag, results[i].value).second)
                    problems_ += "tag " + std::to_string(results[i].tag) + " twice\n";
            }
        }
        std::uint64_t tags[3];
        while (const std::size_t count = lanes_.takeReleased(tags)) {
            for (std::size_t i = 0; i < count; ++i) {
                const auto chunk = chunks_.find(tags[i]);
                if (chunk == chunks_.end()) {
                    problems_ += "chunk " + std::to_string(tags[i]) + " released twice\n";
                    continue;
                }
                std::fill(chunk->second.begin(), chunk->second.end(), 0xA5);
                chunks_.erase(chunk);
            }
        }
    }

    listgen::Md5Lanes& lanes_;
    std::uint64_t nextChunkTag_ = 0;
    // Map nodes never move, so the bytes handed to the lanes stay where they are.
    std::map<std::uint64_t, Bytes> contents_;
    std::map<std::uint64_t, Bytes> chunks_;
    std::map<std::uint64_t, listgen::Md5Value> digests_;
    std::string problems_;
};

} // namespace testing_support
