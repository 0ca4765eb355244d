#pragma once

// The MD5 compression of many lanes at once, written once over a register type. Only the
// kernel sources include this: each instantiates it with register traits from an anonymous
// namespace and its own instruction-set flags, so no instantiation is shared between them.
//
// Register traits provide: V, kWidth (32-bit words per register), load/store of a state
// row, add, broadcast, round<R>(b, c, d), rotate<S>(x), pin(x), select(lanes, x, value),
// which puts value into the lanes whose bits are set, and transpose(rows, words), which
// turns one 64-byte block of kWidth lanes into 16 word vectors.
#include "listgen/digest/md5_kernel.h"
#include "listgen/digest/md5_rounds.h"

#include <cstddef>
#include <utility>

#define LISTGEN_MD5_ALWAYS_INLINE inline __attribute__((always_inline))

namespace listgen::md5 {

template <class Isa, int Sets, int Step>
LISTGEN_MD5_ALWAYS_INLINE void step(typename Isa::V* a, const typename Isa::V* b, const typename Isa::V* c,
                                    const typename Isa::V* d, const typename Isa::V (*words)[16])
{
    using V = typename Isa::V;
    const V sine = Isa::broadcast(kSine[Step]);
#pragma GCC unroll 4
    for (int set = 0; set < Sets; ++set) {
        V sum = Isa::add(Isa::add(a[set], words[set][kWordIndex[Step]]), sine);
        // Without this the compiler folds the word and constant in after the round
        // function, which puts one more add on the chain that waits for b.
        Isa::pin(sum);
        sum = Isa::add(sum, Isa::template round<Step / 16>(b[set], c[set], d[set]));
        a[set] = Isa::add(b[set], Isa::template rotate<kShift[Step]>(sum));
    }
}

template <class Isa, int Sets, int First>
LISTGEN_MD5_ALWAYS_INLINE void fourSteps(typename Isa::V* a, typename Isa::V* b, typename Isa::V* c,
                                         typename Isa::V* d, const typename Isa::V (*words)[16])
{
    step<Isa, Sets, First>(a, b, c, d, words);
    step<Isa, Sets, First + 1>(d, a, b, c, words);
    step<Isa, Sets, First + 2>(c, d, a, b, words);
    step<Isa, Sets, First + 3>(b, c, d, a, words);
}

template <class Isa, int Sets, int... Group>
LISTGEN_MD5_ALWAYS_INLINE void allSteps(typename Isa::V* a, typename Isa::V* b, typename Isa::V* c,
                                        typename Isa::V* d, const typename Isa::V (*words)[16],
                                        std::integer_sequence<int, Group...>)
{
    (fourSteps<Isa, Sets, Group * 4>(a, b, c, d, words), ...);
}

// Sets register groups of kWidth lanes each run interleaved, so that one group's
// dependency chain fills the other's latency.
template <class Isa, int Sets>
void compress(LaneState& state, BlockPlan& plan, std::size_t blocks)
{
    using V = typename Isa::V;
    constexpr int kWidth = Isa::kWidth;
    constexpr std::uint32_t kLaneMask = (std::uint64_t{1} << kWidth) - 1;
    V a[Sets], b[Sets], c[Sets], d[Sets];
#pragma GCC unroll 4
    for (int set = 0; set < Sets; ++set) {
        a[set] = Isa::load(&state.word[0][set * kWidth]);
        b[set] = Isa::load(&state.word[1][set * kWidth]);
        c[set] = Isa::load(&state.word[2][set * kWidth]);
        d[set] = Isa::load(&state.word[3][set * kWidth]);
    }
    for (std::size_t block = 0; block < blocks; ++block) {
        V words[Sets][16];
        V startA[Sets], startB[Sets], startC[Sets], startD[Sets];
#pragma GCC unroll 4
        for (int set = 0; set < Sets; ++set) {
            Isa::transpose(plan.rows[block] + set * kWidth, words[set]);
            startA[set] = a[set];
            startB[set] = b[set];
            startC[set] = c[set];
            startD[set] = d[set];
        }
        // Lanes switch files often, and a new file starts on a cold line: ask for the
        // next block's lines while this one computes.
        if (block + 1 < blocks) {
            for (int lane = 0; lane < Sets * kWidth; ++lane)
                __builtin_prefetch(plan.rows[block + 1][lane]);
        }
        allSteps<Isa, Sets>(a, b, c, d, words, std::make_integer_sequence<int, 16>());
#pragma GCC unroll 4
        for (int set = 0; set < Sets; ++set) {
            a[set] = Isa::add(a[set], startA[set]);
            b[set] = Isa::add(b[set], startB[set]);
            c[set] = Isa::add(c[set], startC[set]);
            d[set] = Isa::add(d[set], startD[set]);
        }
        if (const std::uint32_t restart = plan.restart[block]) {
            LaneState& snapshot = plan.snapshot[block];
#pragma GCC unroll 4
            for (int set = 0; set < Sets; ++set) {
                Isa::store(&snapshot.word[0][set * kWidth], a[set]);
                Isa::store(&snapshot.word[1][set * kWidth], b[set]);
                Isa::store(&snapshot.word[2][set * kWidth], c[set]);
                Isa::store(&snapshot.word[3][set * kWidth], d[set]);
                const std::uint32_t lanes = (restart >> (set * kWidth)) & kLaneMask;
                a[set] = Isa::select(lanes, a[set], kInitialState[0]);
                b[set] = Isa::select(lanes, b[set], kInitialState[1]);
                c[set] = Isa::select(lanes, c[set], kInitialState[2]);
                d[set] = Isa::select(lanes, d[set], kInitialState[3]);
            }
        }
    }
#pragma GCC unroll 4
    for (int set = 0; set < Sets; ++set) {
        Isa::store(&state.word[0][set * kWidth], a[set]);
        Isa::store(&state.word[1][set * kWidth], b[set]);
        Isa::store(&state.word[2][set * kWidth], c[set]);
        Isa::store(&state.word[3][set * kWidth], d[set]);
    }
}

} // namespace listgen::md5
