#pragma once

// The x86 register types the vector kernels run on, each written once. A kernel source
// includes this with its own instruction-set flags and sees only the widths those flags
// allow; the anonymous namespace gives every source its own copy, so code built for one
// instruction set can never stand in for another's at link time.
//
// A register type provides what compress() needs but the round functions, rotation, pin
// and select: those come from PlainLogic below or, with AVX-512, from the kernel's source.
#include "listgen/digest/md5_compress.h"

#include <immintrin.h>

#include <cstdint>

namespace listgen::md5::simd {
namespace {

// The part of every transpose that stays within 128 bits: afterwards quad[4 * g + w] holds
// word 4 * q + w of rows 4g..4g+3 in its 128-bit part q.
template <class R, int Rows>
LISTGEN_MD5_ALWAYS_INLINE void transposeWithin128(const typename R::V* row, typename R::V* quad)
{
    typename R::V pair[Rows];
    for (int i = 0; i < Rows; i += 2) {
        pair[i] = R::unpackLow32(row[i], row[i + 1]);
        pair[i + 1] = R::unpackHigh32(row[i], row[i + 1]);
    }
    for (int i = 0; i < Rows; i += 4) {
        quad[i] = R::unpackLow64(pair[i], pair[i + 2]);
        quad[i + 1] = R::unpackHigh64(pair[i], pair[i + 2]);
        quad[i + 2] = R::unpackLow64(pair[i + 1], pair[i + 3]);
        quad[i + 3] = R::unpackHigh64(pair[i + 1], pair[i + 3]);
    }
}

struct Xmm {
    using V = __m128i;
    static constexpr int kWidth = 4;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm_load_si128(reinterpret_cast<const V*>(row)); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm_store_si128(reinterpret_cast<V*>(row), value); }
    static LISTGEN_MD5_ALWAYS_INLINE V loadBytes(const unsigned char* bytes) { return _mm_loadu_si128(reinterpret_cast<const V*>(bytes)); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }
    static LISTGEN_MD5_ALWAYS_INLINE V laneBits() { return _mm_setr_epi32(1, 2, 4, 8); }
    static LISTGEN_MD5_ALWAYS_INLINE V bitAnd(V x, V y) { return _mm_and_si128(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V bitOr(V x, V y) { return _mm_or_si128(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V bitXor(V x, V y) { return _mm_xor_si128(x, y); }
    // ~x & y
    static LISTGEN_MD5_ALWAYS_INLINE V andNot(V x, V y) { return _mm_andnot_si128(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V equal(V x, V y) { return _mm_cmpeq_epi32(x, y); }
    // The lanes of `chosen` (all ones or all zeros) from `value`, the rest from `x`.
    static LISTGEN_MD5_ALWAYS_INLINE V blend(V x, V value, V chosen) { return bitOr(bitAnd(chosen, value), andNot(chosen, x)); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V shiftLeft(V x) { return _mm_slli_epi32(x, Shift); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V shiftRight(V x) { return _mm_srli_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackLow32(V x, V y) { return _mm_unpacklo_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackHigh32(V x, V y) { return _mm_unpackhi_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackLow64(V x, V y) { return _mm_unpacklo_epi64(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackHigh64(V x, V y) { return _mm_unpackhi_epi64(x, y); }

    static LISTGEN_MD5_ALWAYS_INLINE void transpose(const unsigned char* const* rows, V* words)
    {
        for (int quarter = 0; quarter < 4; ++quarter) {
            V row[4];
            for (int i = 0; i < 4; ++i)
                row[i] = loadBytes(rows[i] + 16 * quarter);
            transposeWithin128<Xmm, 4>(row, words + 4 * quarter);
        }
    }

#if defined(__AVX512VL__)
    template <int Table>
    static LISTGEN_MD5_ALWAYS_INLINE V ternary(V x, V y, V z) { return _mm_ternarylogic_epi32(x, y, z, Table); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotateLeft(V x) { return _mm_rol_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE V maskMove(std::uint32_t lanes, V x, V value)
    {
        return _mm_mask_mov_epi32(x, static_cast<__mmask8>(lanes), value);
    }
#endif
};

#if defined(__AVX2__)
struct Ymm {
    using V = __m256i;
    static constexpr int kWidth = 8;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm256_load_si256(reinterpret_cast<const V*>(row)); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm256_store_si256(reinterpret_cast<V*>(row), value); }
    static LISTGEN_MD5_ALWAYS_INLINE V loadBytes(const unsigned char* bytes) { return _mm256_loadu_si256(reinterpret_cast<const V*>(bytes)); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm256_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }
    static LISTGEN_MD5_ALWAYS_INLINE V laneBits() { return _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128); }
    static LISTGEN_MD5_ALWAYS_INLINE V bitAnd(V x, V y) { return _mm256_and_si256(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V bitOr(V x, V y) { return _mm256_or_si256(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V bitXor(V x, V y) { return _mm256_xor_si256(x, y); }
    // ~x & y
    static LISTGEN_MD5_ALWAYS_INLINE V andNot(V x, V y) { return _mm256_andnot_si256(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V equal(V x, V y) { return _mm256_cmpeq_epi32(x, y); }
    // The lanes of `chosen` (all ones or all zeros) from `value`, the rest from `x`.
    static LISTGEN_MD5_ALWAYS_INLINE V blend(V x, V value, V chosen) { return _mm256_blendv_epi8(x, value, chosen); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V shiftLeft(V x) { return _mm256_slli_epi32(x, Shift); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V shiftRight(V x) { return _mm256_srli_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackLow32(V x, V y) { return _mm256_unpacklo_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackHigh32(V x, V y) { return _mm256_unpackhi_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackLow64(V x, V y) { return _mm256_unpacklo_epi64(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackHigh64(V x, V y) { return _mm256_unpackhi_epi64(x, y); }

    static LISTGEN_MD5_ALWAYS_INLINE void transpose(const unsigned char* const* rows, V* words)
    {
        for (int half = 0; half < 2; ++half) {
            V row[8], quad[8];
            for (int i = 0; i < 8; ++i)
                row[i] = loadBytes(rows[i] + 32 * half);
            transposeWithin128<Ymm, 8>(row, quad);
            for (int w = 0; w < 4; ++w) {
                words[8 * half + w] = _mm256_permute2x128_si256(quad[w], quad[4 + w], 0x20);
                words[8 * half + 4 + w] = _mm256_permute2x128_si256(quad[w], quad[4 + w], 0x31);
            }
        }
    }

#if defined(__AVX512VL__)
    template <int Table>
    static LISTGEN_MD5_ALWAYS_INLINE V ternary(V x, V y, V z) { return _mm256_ternarylogic_epi32(x, y, z, Table); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotateLeft(V x) { return _mm256_rol_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE V maskMove(std::uint32_t lanes, V x, V value)
    {
        return _mm256_mask_mov_epi32(x, static_cast<__mmask8>(lanes), value);
    }
#endif
};
#endif

#if defined(__AVX512F__)
struct Zmm {
    using V = __m512i;
    static constexpr int kWidth = 16;
    static LISTGEN_MD5_ALWAYS_INLINE V load(const std::uint32_t* row) { return _mm512_load_si512(row); }
    static LISTGEN_MD5_ALWAYS_INLINE void store(std::uint32_t* row, V value) { _mm512_store_si512(row, value); }
    static LISTGEN_MD5_ALWAYS_INLINE V loadBytes(const unsigned char* bytes) { return _mm512_loadu_si512(bytes); }
    static LISTGEN_MD5_ALWAYS_INLINE V add(V x, V y) { return _mm512_add_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V broadcast(std::uint32_t value) { return _mm512_set1_epi32(static_cast<int>(value)); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackLow32(V x, V y) { return _mm512_unpacklo_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackHigh32(V x, V y) { return _mm512_unpackhi_epi32(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackLow64(V x, V y) { return _mm512_unpacklo_epi64(x, y); }
    static LISTGEN_MD5_ALWAYS_INLINE V unpackHigh64(V x, V y) { return _mm512_unpackhi_epi64(x, y); }
    template <int Table>
    static LISTGEN_MD5_ALWAYS_INLINE V ternary(V x, V y, V z) { return _mm512_ternarylogic_epi32(x, y, z, Table); }
    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotateLeft(V x) { return _mm512_rol_epi32(x, Shift); }
    static LISTGEN_MD5_ALWAYS_INLINE V maskMove(std::uint32_t lanes, V x, V value)
    {
        return _mm512_mask_mov_epi32(x, static_cast<__mmask16>(lanes), value);
    }

    static LISTGEN_MD5_ALWAYS_INLINE void transpose(const unsigned char* const* rows, V* words)
    {
        // Through transposeWithin128 this gave wrong words at -O2 with GCC 12 (not at -O3);
        // written out it is right at both.
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
#endif

// Round functions from and, or, xor and and-not, rotation from two shifts, and the lane select
// from a compare: all SSE2 and AVX2 have.
template <class R>
struct PlainLogic : R {
    using V = typename R::V;

    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d)
    {
        if constexpr (Round == 0)
            return R::bitXor(d, R::bitAnd(b, R::bitXor(c, d)));
        else if constexpr (Round == 1)
            return R::bitOr(R::bitAnd(d, b), R::andNot(d, c));
        else if constexpr (Round == 2)
            return R::bitXor(b, R::bitXor(c, d));
        else
            return R::bitXor(c, R::bitOr(b, R::bitXor(d, R::broadcast(~std::uint32_t{0}))));
    }

    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x)
    {
        return R::bitOr(R::template shiftLeft<Shift>(x), R::template shiftRight<32 - Shift>(x));
    }

    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+x"(x)); }

    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        const V chosen = R::equal(R::bitAnd(R::broadcast(lanes), R::laneBits()), R::laneBits());
        return R::blend(x, R::broadcast(value), chosen);
    }
};

} // namespace
} // namespace listgen::md5::simd
