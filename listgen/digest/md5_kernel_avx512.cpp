// AVX-512 kernels: 16 lanes per zmm register, vpternlogd for the round functions and
// vprold for the rotations; the 8- and 4-lane kernels use the same instructions on ymm/xmm.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 reports the _mm512_undefined_epi32() inside its own AVX-512 intrinsics as maybe
// used uninitialised once they are inlined; a false positive, fixed in later releases.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "listgen/digest/md5_vector_registers.h"

namespace listgen::md5 {
namespace {

// vpternlogd truth tables over (b, c, d) for F, G, H and I.
constexpr int kRoundTable[4] = {0xCA, 0xE4, 0x96, 0x39};

template <class R>
struct TernaryLogic : R {
    using V = typename R::V;

    template <int Round>
    static LISTGEN_MD5_ALWAYS_INLINE V round(V b, V c, V d)
    {
        return R::template ternary<kRoundTable[Round]>(b, c, d);
    }

    template <int Shift>
    static LISTGEN_MD5_ALWAYS_INLINE V rotate(V x) { return R::template rotateLeft<Shift>(x); }

    // "v" rather than "x": AVX-512 has twice the vector registers.
    static LISTGEN_MD5_ALWAYS_INLINE void pin(V& x) { asm("" : "+v"(x)); }

    static LISTGEN_MD5_ALWAYS_INLINE V select(std::uint32_t lanes, V x, std::uint32_t value)
    {
        return R::maskMove(lanes, x, R::broadcast(value));
    }
};

} // namespace

const BlockKernel kAvx512Kernels[kAvx512KernelCount] = {
    {32, &compress<TernaryLogic<simd::Zmm>, 2>},
    {16, &compress<TernaryLogic<simd::Zmm>, 1>},
    {8, &compress<TernaryLogic<simd::Ymm>, 1>},
    {4, &compress<TernaryLogic<simd::Xmm>, 1>},
};

} // namespace listgen::md5
