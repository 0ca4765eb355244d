#include "listgen/hashing/md5_kernel_set.h"

namespace listgen {

std::string_view kernelSetName(Md5KernelSet set)
{
    switch (set) {
    case Md5KernelSet::Automatic: return "automatic";
    case Md5KernelSet::Avx512: return "avx512";
    case Md5KernelSet::Avx2: return "avx2";
    case Md5KernelSet::Sse2: return "sse2";
    case Md5KernelSet::Scalar: return "scalar";
    case Md5KernelSet::OpenSsl: return "openssl";
    }
    return "unknown";
}

bool cpuRuns(Md5KernelSet set)
{
    switch (set) {
#if LISTGEN_MD5_X86_KERNELS
    case Md5KernelSet::Avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    case Md5KernelSet::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case Md5KernelSet::Sse2:
        return true;
#else
    case Md5KernelSet::Avx512:
    case Md5KernelSet::Avx2:
    case Md5KernelSet::Sse2:
        return false;
#endif
    case Md5KernelSet::Automatic:
    case Md5KernelSet::Scalar:
    case Md5KernelSet::OpenSsl:
        return true;
    }
    return false;
}

Md5KernelSet bestKernelSet()
{
    for (const Md5KernelSet set : {Md5KernelSet::Avx512, Md5KernelSet::Avx2, Md5KernelSet::Sse2}) {
        if (cpuRuns(set))
            return set;
    }
    // Without vector kernels one stream at a time through OpenSSL's assembly is the safe choice.
    return Md5KernelSet::OpenSsl;
}

} // namespace listgen
