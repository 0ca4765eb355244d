#pragma once

#include "listgen/digest/md5_kernel_rates.h"

namespace listgen {

// Times every kernel that Md5KernelSet::Automatic may run, on the calling core, in CPU time so
// that other processes do not count: a few rounds over 64 KiB that stays in the cache, each
// kernel's fastest round kept. A few milliseconds in all.
Md5KernelRates measureMd5Rates();

// The rates this process runs by: those an earlier run of the same program on the same CPU
// model left in the cache ($XDG_CACHE_HOME/vaskerel/md5-kernel-rates), when one quick timing
// of the fastest and the slowest kernel agrees with them; measured and cached otherwise.
const Md5KernelRates& md5Rates();

} // namespace listgen
