// SSE2 kernels: 4 lanes per xmm register, for x86-64 CPUs without AVX2; SSE2 is part of
// x86-64, so these run everywhere the build runs.
#include "listgen/hashing/md5_simd_kernel.h"

#include <emmintrin.h>

namespace listgen::md5 {
namespace {

struct Xmm {
    using V = __m128i;
    static constexpr int kWidth = 4;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm_load_si128(reinterpret_cast<const V*>(row)); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm_store_si128(reinterpret_cast<V*>(row), value); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }

    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d)
    {
        if constexpr (Round == 0)
            return _mm_xor_si128(d, _mm_and_si128(b, _mm_xor_si128(c, d)));
        else if constexpr (Round == 1)
            return _mm_or_si128(_mm_and_si128(d, b), _mm_andnot_si128(d, c));
        else if constexpr (Round == 2)
            return _mm_xor_si128(b, _mm_xor_si128(c, d));
        else
            return _mm_xor_si128(c, _mm_or_si128(b, _mm_xor_si128(d, _mm_set1_epi32(-1))));
    }

    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x)
    {
        return _mm_or_si128(_mm_slli_epi32(x, Shift), _mm_srli_epi32(x, 32 - Shift));
    }

    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+x"(x)); }

    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        const V laneBits = _mm_setr_epi32(1, 2, 4, 8);
        const V chosen = _mm_cmpeq_epi32(_mm_and_si128(broadcast(lanes), laneBits), laneBits);
        return _mm_or_si128(_mm_and_si128(chosen, broadcast(value)), _mm_andnot_si128(chosen, x));
    }

    static LISTGEN_MD5_ALWAYS_INLINE void transpose(const unsigned char* const* rows, V* words)
    {
        for (int quarter = 0; quarter < 4; ++quarter) {
            V row[4];
            for (int i = 0; i < 4; ++i)
                row[i] = _mm_loadu_si128(reinterpret_cast<const V*>(rows[i] + 16 * quarter));
            const V low01 = _mm_unpacklo_epi32(row[0], row[1]);
            const V high01 = _mm_unpackhi_epi32(row[0], row[1]);
            const V low23 = _mm_unpacklo_epi32(row[2], row[3]);
            const V high23 = _mm_unpackhi_epi32(row[2], row[3]);
            words[4 * quarter] = _mm_unpacklo_epi64(low01, low23);
            words[4 * quarter + 1] = _mm_unpackhi_epi64(low01, low23);
            words[4 * quarter + 2] = _mm_unpacklo_epi64(high01, high23);
            words[4 * quarter + 3] = _mm_unpackhi_epi64(high01, high23);
        }
    }
};

} // namespace

const BlockKernel kSse2Kernels[kSse2KernelCount] = {
    {8, &simd::compress<Xmm, 2>, "sse2x8"},
    {4, &simd::compress<Xmm, 1>, "sse2x4"},
};

} // namespace listgen::md5
