// SSE2 kernels: 4 lanes per xmm register, for x86-64 CPUs without AVX2; SSE2 is part of
// x86-64, so these run everywhere the build runs.
#include "listgen/digest/md5_vector_registers.h"

namespace listgen::md5 {

const BlockKernel kSse2Kernels[kSse2KernelCount] = {
    {8, &compress<simd::PlainLogic<simd::Xmm>, 2>},
    {4, &compress<simd::PlainLogic<simd::Xmm>, 1>},
};

} // namespace listgen::md5
