// AVX2 kernels: 8 lanes per ymm register, one to three register groups interleaved.
#include "listgen/hashing/md5_simd_kernel.h"

#include <immintrin.h>

namespace listgen::md5 {
namespace {

struct Ymm {
    using V = __m256i;
    static constexpr int kWidth = 8;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm256_load_si256(reinterpret_cast<const V*>(row)); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm256_store_si256(reinterpret_cast<V*>(row), value); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm256_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }

    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d)
    {
        if constexpr (Round == 0)
            return _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));
        else if constexpr (Round == 1)
            return _mm256_or_si256(_mm256_and_si256(d, b), _mm256_andnot_si256(d, c));
        else if constexpr (Round == 2)
            return _mm256_xor_si256(b, _mm256_xor_si256(c, d));
        else
            return _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
    }

    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x)
    {
        return _mm256_or_si256(_mm256_slli_epi32(x, Shift), _mm256_srli_epi32(x, 32 - Shift));
    }

    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+x"(x)); }

    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        const V laneBits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        const V chosen = _mm256_cmpeq_epi32(_mm256_and_si256(broadcast(lanes), laneBits), laneBits);
        return _mm256_blendv_epi8(x, broadcast(value), chosen);
    }

    static LISTGEN_MD5_ALWAYS_INLINE void transpose(const unsigned char* const* rows, V* words)
    {
        for (int half = 0; half < 2; ++half) {
            V row[8], pair[8], quad[8];
            for (int i = 0; i < 8; ++i)
                row[i] = _mm256_loadu_si256(reinterpret_cast<const V*>(rows[i] + 32 * half));
            for (int i = 0; i < 8; i += 2) {
                pair[i] = _mm256_unpacklo_epi32(row[i], row[i + 1]);
                pair[i + 1] = _mm256_unpackhi_epi32(row[i], row[i + 1]);
            }
            for (int i = 0; i < 8; i += 4) {
                quad[i] = _mm256_unpacklo_epi64(pair[i], pair[i + 2]);
                quad[i + 1] = _mm256_unpackhi_epi64(pair[i], pair[i + 2]);
                quad[i + 2] = _mm256_unpacklo_epi64(pair[i + 1], pair[i + 3]);
                quad[i + 3] = _mm256_unpackhi_epi64(pair[i + 1], pair[i + 3]);
            }
            // quad[w] and quad[4 + w] hold word 4 * q + w of rows 0..3 and 4..7 in their 128-bit part q.
            for (int w = 0; w < 4; ++w) {
                words[8 * half + w] = _mm256_permute2x128_si256(quad[w], quad[4 + w], 0x20);
                words[8 * half + 4 + w] = _mm256_permute2x128_si256(quad[w], quad[4 + w], 0x31);
            }
        }
    }
};

} // namespace

const BlockKernel kAvx2Kernels[kAvx2KernelCount] = {
    {24, &simd::compress<Ymm, 3>, "avx2x24"},
    {16, &simd::compress<Ymm, 2>, "avx2x16"},
    {8, &simd::compress<Ymm, 1>, "avx2x8"},
};

} // namespace listgen::md5
