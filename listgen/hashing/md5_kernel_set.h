#pragma once

#include <string_view>

namespace listgen {

// The family of block functions an Md5Lanes runs. Automatic takes the widest one the CPU
// has; OpenSsl hashes one message after another through EVP, as on CPUs with no kernels.
enum class Md5KernelSet { Automatic, Avx512, Avx2, Sse2, Scalar, OpenSsl };

std::string_view kernelSetName(Md5KernelSet set);

// Whether this build and this CPU can run the set (Automatic always can).
bool cpuRuns(Md5KernelSet set);

// What Automatic stands for on this CPU.
Md5KernelSet bestKernelSet();

} // namespace listgen
