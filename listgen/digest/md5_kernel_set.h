#pragma once

#include <string_view>

namespace listgen {

// The family of block functions an Md5Lanes runs. Automatic picks among every kernel this CPU
// runs by their measured rates; OpenSsl hashes one message after another through OpenSSL's
// block function.
enum class Md5KernelSet { Automatic, Avx512, Avx2, Sse2, Scalar, OpenSsl };

std::string_view kernelSetName(Md5KernelSet set);

// Whether this build and this CPU can run the set (Automatic always can).
bool cpuRuns(Md5KernelSet set);

// The widest vector set this CPU runs; OpenSsl where it runs none.
Md5KernelSet bestKernelSet();

} // namespace listgen
