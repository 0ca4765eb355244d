// AVX-512 kernels: 16 lanes per zmm register, vpternlogd for the round functions and
// vprold for the rotations; the 8- and 4-lane kernels use the same instructions on ymm/xmm.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 reports the _mm512_undefined_epi32() inside its own AVX-512 intrinsics as maybe
// used uninitialised once they are inlined; a false positive, fixed in later releases.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "listgen/hashing/md5_simd_kernel.h"

#include <immintrin.h>

namespace listgen::md5 {
namespace {

// vpternlogd truth tables over (b, c, d) for F, G, H and I.
constexpr int kRoundTable[4] = {0xCA, 0xE4, 0x96, 0x39};

struct Zmm {
    using V = __m512i;
    static constexpr int kWidth = 16;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm512_load_si512(row); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm512_store_si512(row, value); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm512_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm512_set1_epi32(static_cast<int>(value)); }
    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d) {
        // Through a constant so that the intrinsic gets an immediate at -O0 as well.
        constexpr int kTable = kRoundTable[Round];
        return _mm512_ternarylogic_epi32(b, c, d, kTable);
    }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x) { return _mm512_rol_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+v"(x)); }
    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        return _mm512_mask_mov_epi32(x, static_cast<__mmask16>(lanes), broadcast(value));
    }

    static LISTGEN_MD5_ALWAYS_INLINE void transpose(const unsigned char* const* rows, V* words)
    {
        V row[16], pair[16], quad[16];
        for (int i = 0; i < 16; ++i)
            row[i] = _mm512_loadu_si512(rows[i]);
        for (int i = 0; i < 16; i += 2) {
            pair[i] = _mm512_unpacklo_epi32(row[i], row[i + 1]);
            pair[i + 1] = _mm512_unpackhi_epi32(row[i], row[i + 1]);
        }
        for (int i = 0; i < 16; i += 4) {
            quad[i] = _mm512_unpacklo_epi64(pair[i], pair[i + 2]);
            quad[i + 1] = _mm512_unpackhi_epi64(pair[i], pair[i + 2]);
            quad[i + 2] = _mm512_unpacklo_epi64(pair[i + 1], pair[i + 3]);
            quad[i + 3] = _mm512_unpackhi_epi64(pair[i + 1], pair[i + 3]);
        }
        // quad[4 * g + w] holds word 4 * q + w of rows 4g..4g+3 in its 128-bit part q.
        for (int w = 0; w < 4; ++w) {
            const V low01 = _mm512_shuffle_i32x4(quad[w], quad[4 + w], 0x88);
            const V high01 = _mm512_shuffle_i32x4(quad[w], quad[4 + w], 0xDD);
            const V low23 = _mm512_shuffle_i32x4(quad[8 + w], quad[12 + w], 0x88);
            const V high23 = _mm512_shuffle_i32x4(quad[8 + w], quad[12 + w], 0xDD);
            words[w] = _mm512_shuffle_i32x4(low01, low23, 0x88);
            words[8 + w] = _mm512_shuffle_i32x4(low01, low23, 0xDD);
            words[4 + w] = _mm512_shuffle_i32x4(high01, high23, 0x88);
            words[12 + w] = _mm512_shuffle_i32x4(high01, high23, 0xDD);
        }
    }
};

struct YmmVl {
    using V = __m256i;
    static constexpr int kWidth = 8;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm256_load_si256(reinterpret_cast<const V*>(row)); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm256_store_si256(reinterpret_cast<V*>(row), value); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm256_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }
    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d) {
        // Through a constant so that the intrinsic gets an immediate at -O0 as well.
        constexpr int kTable = kRoundTable[Round];
        return _mm256_ternarylogic_epi32(b, c, d, kTable);
    }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x) { return _mm256_rol_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+v"(x)); }
    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        return _mm256_mask_mov_epi32(x, static_cast<__mmask8>(lanes), broadcast(value));
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
            for (int w = 0; w < 4; ++w) {
                words[8 * half + w] = _mm256_permute2x128_si256(quad[w], quad[4 + w], 0x20);
                words[8 * half + 4 + w] = _mm256_permute2x128_si256(quad[w], quad[4 + w], 0x31);
            }
        }
    }
};

struct XmmVl {
    using V = __m128i;
    static constexpr int kWidth = 4;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm_load_si128(reinterpret_cast<const V*>(row)); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm_store_si128(reinterpret_cast<V*>(row), value); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }
    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d) {
        // Through a constant so that the intrinsic gets an immediate at -O0 as well.
        constexpr int kTable = kRoundTable[Round];
        return _mm_ternarylogic_epi32(b, c, d, kTable);
    }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x) { return _mm_rol_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+v"(x)); }
    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        return _mm_mask_mov_epi32(x, static_cast<__mmask8>(lanes), broadcast(value));
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

const BlockKernel kAvx512Kernels[kAvx512KernelCount] = {
    {32, &simd::compress<Zmm, 2>, "avx512x32"},
    {16, &simd::compress<Zmm, 1>, "avx512x16"},
    {8, &simd::compress<YmmVl, 1>, "avx512vl-ymm"},
    {4, &simd::compress<XmmVl, 1>, "avx512vl-xmm"},
};

} // namespace listgen::md5
