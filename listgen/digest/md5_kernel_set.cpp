#include "listgen/digest/md5_kernel_set.h"

#include "listgen/digest/md5_kernel.h"


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
    return Md5KernelSet::OpenSsl;
}

namespace md5 {

namespace {

void add(std::vector<NamedKernel>& kernels, Md5KernelSet set, const BlockKernel* table, unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        kernels.push_back({std::string(kernelSetName(set)) + "-" + std::to_string(table[i].lanes), &table[i]});
}

} // namespace

std::vector<NamedKernel> kernelsOf(Md5KernelSet set)
{
    std::vector<NamedKernel> kernels;
    switch (set) {
    case Md5KernelSet::Automatic:
        if (bestKernelSet() != Md5KernelSet::OpenSsl)
            kernels = kernelsOf(bestKernelSet());
        if (kernels.empty() || kernels.back().kernel != &kScalarKernels[kScalarKernelCount - 1])
            add(kernels, Md5KernelSet::Scalar, kScalarKernels, kScalarKernelCount);
        add(kernels, Md5KernelSet::OpenSsl, &kOpenSslKernel, 1);
        return kernels;
#if LISTGEN_MD5_X86_KERNELS
    case Md5KernelSet::Avx512:
        add(kernels, set, kAvx512Kernels, kAvx512KernelCount);
        return kernels;
    case Md5KernelSet::Avx2:
        add(kernels, set, kAvx2Kernels, kAvx2KernelCount);
        add(kernels, Md5KernelSet::Sse2, &kSse2Kernels[kSse2KernelCount - 1], 1);
        break;
    case Md5KernelSet::Sse2:
        add(kernels, set, kSse2Kernels, kSse2KernelCount);
        break;
#else
    case Md5KernelSet::Avx512:
    case Md5KernelSet::Avx2:
    case Md5KernelSet::Sse2:
        return kernels;
#endif
    case Md5KernelSet::OpenSsl:
        add(kernels, set, &kOpenSslKernel, 1);
        return kernels;
    case Md5KernelSet::Scalar:
        break;
    }
    add(kernels, Md5KernelSet::Scalar, kScalarKernels, kScalarKernelCount);
    return kernels;
}

} // namespace md5

} // namespace listgen
