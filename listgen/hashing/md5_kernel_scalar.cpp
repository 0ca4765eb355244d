// Portable kernels: one or two messages per call in general-purpose registers. Two
// independent chains interleaved keep more of the core busy than one.
#include "listgen/hashing/md5_kernel.h"
#include "listgen/hashing/md5_rounds.h"

#include <bit>
#include <cstring>
#include <utility>

namespace listgen::md5 {
namespace {

inline std::uint32_t littleEndianWord(const unsigned char* bytes)
{
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap32(word);
    return word;
}

template <int Round>
inline std::uint32_t roundFunction(std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    if constexpr (Round == 0)
        return d ^ (b & (c ^ d));
    else if constexpr (Round == 1)
        return (d & b) | (~d & c);
    else if constexpr (Round == 2)
        return b ^ c ^ d;
    else
        return c ^ (b | ~d);
}

template <int Streams, int Step>
inline void step(std::uint32_t* a, const std::uint32_t* b, const std::uint32_t* c, const std::uint32_t* d,
                 const std::uint32_t (*words)[16])
{
    for (int stream = 0; stream < Streams; ++stream) {
        const std::uint32_t sum = a[stream] + words[stream][kWordIndex[Step]] + kSine[Step] +
                                  roundFunction<Step / 16>(b[stream], c[stream], d[stream]);
        a[stream] = b[stream] + std::rotl(sum, kShift[Step]);
    }
}

template <int Streams, int... Group>
inline void allSteps(std::uint32_t* a, std::uint32_t* b, std::uint32_t* c, std::uint32_t* d,
                     const std::uint32_t (*words)[16], std::integer_sequence<int, Group...>)
{
    ((step<Streams, Group * 4>(a, b, c, d, words), step<Streams, Group * 4 + 1>(d, a, b, c, words),
      step<Streams, Group * 4 + 2>(c, d, a, b, words), step<Streams, Group * 4 + 3>(b, c, d, a, words)),
     ...);
}

template <int Streams>
void compress(LaneState& state, BlockPlan& plan, std::size_t blocks)
{
    std::uint32_t a[Streams], b[Streams], c[Streams], d[Streams];
    for (int stream = 0; stream < Streams; ++stream) {
        a[stream] = state.word[0][stream];
        b[stream] = state.word[1][stream];
        c[stream] = state.word[2][stream];
        d[stream] = state.word[3][stream];
    }
    for (std::size_t block = 0; block < blocks; ++block) {
        std::uint32_t words[Streams][16];
        std::uint32_t startA[Streams], startB[Streams], startC[Streams], startD[Streams];
        for (int stream = 0; stream < Streams; ++stream) {
            for (int i = 0; i < 16; ++i)
                words[stream][i] = littleEndianWord(plan.rows[block][stream] + 4 * i);
            startA[stream] = a[stream];
            startB[stream] = b[stream];
            startC[stream] = c[stream];
            startD[stream] = d[stream];
        }
        allSteps<Streams>(a, b, c, d, words, std::make_integer_sequence<int, 16>());
        for (int stream = 0; stream < Streams; ++stream) {
            a[stream] += startA[stream];
            b[stream] += startB[stream];
            c[stream] += startC[stream];
            d[stream] += startD[stream];
        }
        if (const std::uint32_t restart = plan.restart[block]) {
            for (int stream = 0; stream < Streams; ++stream) {
                LaneState& snapshot = plan.snapshot[block];
                snapshot.word[0][stream] = a[stream];
                snapshot.word[1][stream] = b[stream];
                snapshot.word[2][stream] = c[stream];
                snapshot.word[3][stream] = d[stream];
                if ((restart >> stream) & 1) {
                    a[stream] = kInitialState[0];
                    b[stream] = kInitialState[1];
                    c[stream] = kInitialState[2];
                    d[stream] = kInitialState[3];
                }
            }
        }
    }
    for (int stream = 0; stream < Streams; ++stream) {
        state.word[0][stream] = a[stream];
        state.word[1][stream] = b[stream];
        state.word[2][stream] = c[stream];
        state.word[3][stream] = d[stream];
    }
}

} // namespace

const BlockKernel kScalarKernels[kScalarKernelCount] = {
    {2, &compress<2>, "scalar-x2"},
    {1, &compress<1>, "scalar"},
};

} // namespace listgen::md5
