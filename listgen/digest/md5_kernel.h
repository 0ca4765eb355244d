#pragma once

// The block functions behind Md5Lanes. Each runs the MD5 compression over `lanes`
// independent messages at once; a table per instruction set lists them, widest first.
#include "listgen/digest/md5_kernel_set.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace listgen::md5 {

inline constexpr unsigned kMaxLanes = 32;
// Blocks one call may run; the scheduler plans that far ahead for every lane.
inline constexpr unsigned kPlanBlocks = 32;

// The chaining values of every lane as four rows (a, b, c, d), so that one vector load
// takes a word of many lanes.
struct LaneState {
    alignas(64) std::uint32_t word[4][kMaxLanes];
};

// What one call computes: for each block, the 64 bytes every lane reads, and the lanes whose
// message ends with that block. Those lanes' chaining values are saved to the block's
// snapshot and then start over from the initial value, so that a lane takes up its next
// message without leaving the kernel.
struct BlockPlan {
    const unsigned char* rows[kPlanBlocks][kMaxLanes];
    std::uint32_t restart[kPlanBlocks];
    LaneState snapshot[kPlanBlocks];
};

// Runs `blocks` (at most kPlanBlocks) blocks of the plan for lanes [0, lanes). Never fails
// and never allocates.
using BlocksFunction = void (*)(LaneState& state, BlockPlan& plan, std::size_t blocks);

struct BlockKernel {
    unsigned lanes;
    BlocksFunction run;
};

// Built only on x86-64; call only when the CPU has the instruction set.
inline constexpr unsigned kAvx512KernelCount = 4;
extern const BlockKernel kAvx512Kernels[kAvx512KernelCount];
inline constexpr unsigned kAvx2KernelCount = 3;
extern const BlockKernel kAvx2Kernels[kAvx2KernelCount];
inline constexpr unsigned kSse2KernelCount = 2;
extern const BlockKernel kSse2Kernels[kSse2KernelCount];

// Plain C++, on every CPU.
inline constexpr unsigned kScalarKernelCount = 2;
extern const BlockKernel kScalarKernels[kScalarKernelCount];

// One lane through OpenSSL's own block function, hand-tuned assembly on most CPUs.
extern const BlockKernel kOpenSslKernel;

struct NamedKernel {
    // The set's name and the lane count: "avx512-32", "scalar-1", "openssl-1".
    std::string name;
    const BlockKernel* kernel;
};

// The kernels an Md5Lanes of a named set runs, widest first: SSE2 and AVX2 end in the scalar
// ones. For Automatic, every kernel worth timing on this CPU: those of the widest set it runs,
// the scalar ones and OpenSSL's.
std::vector<NamedKernel> kernelsOf(Md5KernelSet set);

} // namespace listgen::md5
