// Portable kernels: one or two messages per call in general-purpose registers. Two
// independent chains interleaved keep more of the core busy than one.
#include "listgen/digest/md5_compress.h"

#include <bit>
#include <cstring>

namespace listgen::md5 {
namespace {

// A 32-bit word as a register of one lane.
struct Word {
    using V = std::uint32_t;
    static constexpr int kWidth = 1;
    static V load(const std::uint32_t* row) { return *row; }
    static void store(std::uint32_t* row, V value) { *row = value; }
    static V add(V x, V y) { return x + y; }
    static V broadcast(std::uint32_t value) { return value; }

    template <int Round>
    static V round(V b, V c, V d)
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

    template <int Shift>
    static V rotate(V x) { return std::rotl(x, Shift); }

    static void pin(V& x) { asm("" : "+r"(x)); }

    static V select(std::uint32_t lanes, V x, std::uint32_t value) { return lanes != 0 ? value : x; }

    static void transpose(const unsigned char* const* rows, V* words)
    {
        std::memcpy(words, rows[0], 16 * sizeof(V));
        if constexpr (std::endian::native == std::endian::big) {
            for (int i = 0; i < 16; ++i)
                words[i] = __builtin_bswap32(words[i]);
        }
    }
};

} // namespace

const BlockKernel kScalarKernels[kScalarKernelCount] = {
    {2, &compress<Word, 2>},
    {1, &compress<Word, 1>},
};

} // namespace listgen::md5
