// AVX2 kernels: 8 lanes per ymm register, one to three register groups interleaved.
#include "listgen/digest/md5_vector_registers.h"

namespace listgen::md5 {

const BlockKernel kAvx2Kernels[kAvx2KernelCount] = {
    {24, &compress<simd::PlainLogic<simd::Ymm>, 3>},
    {16, &compress<simd::PlainLogic<simd::Ymm>, 2>},
    {8, &compress<simd::PlainLogic<simd::Ymm>, 1>},
};

} // namespace listgen::md5
