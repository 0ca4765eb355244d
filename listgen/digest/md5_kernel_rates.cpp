#include "listgen/digest/md5_kernel_rates.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace listgen {

Md5KernelRates::Md5KernelRates(std::vector<Kernel> kernels)
{
    std::erase_if(kernels, [](const Kernel& kernel) { return !(kernel.laneRate > 0) || kernel.lanes == 0; });
    if (kernels.empty())
        throw std::invalid_argument("no MD5 kernel with a rate");
    std::stable_sort(kernels.begin(), kernels.end(), [](const Kernel& a, const Kernel& b) { return a.lanes > b.lanes; });
    kernels_ = kernels;
    const auto top = std::max_element(kernels_.begin(), kernels_.end(), [](const Kernel& a, const Kernel& b) {
        return a.lanes * a.laneRate < b.lanes * b.laneRate;
    });
    ladder_.push_back(*top);
    for (auto kernel = top + 1; kernel != kernels_.end(); ++kernel) {
        if (kernel->lanes < ladder_.back().lanes && kernel->laneRate > ladder_.back().laneRate)
            ladder_.push_back(*kernel);
        else if (kernel->lanes == ladder_.back().lanes && kernel->laneRate > ladder_.back().laneRate && ladder_.size() > 1)
            ladder_.back() = *kernel;
    }
}

double Md5KernelRates::laneRate(std::string_view name) const
{
    const auto found = std::find_if(kernels_.begin(), kernels_.end(), [&](const Kernel& kernel) { return kernel.name == name; });
    return found == kernels_.end() ? 0 : found->laneRate;
}

double Md5KernelRates::totalRate(std::size_t kernel, unsigned jobs) const
{
    return std::min(jobs, ladder_[kernel].lanes) * ladder_[kernel].laneRate;
}

std::size_t Md5KernelRates::bestFor(unsigned jobs, unsigned fewestLanes) const
{
    std::size_t best = 0;
    double bestRate = -1;
    for (std::size_t kernel = 0; kernel < ladder_.size() && ladder_[kernel].lanes >= fewestLanes; ++kernel) {
        const double rate = totalRate(kernel, jobs) * (ladder_[kernel].lanes < jobs ? 1 - kTurnsCost : 1);
        if (rate >= bestRate) {
            best = kernel;
            bestRate = rate;
        }
    }
    return best;
}

double Md5KernelRates::coreRate(unsigned jobs) const
{
    return totalRate(bestFor(jobs), jobs);
}

std::string Md5KernelRates::text() const
{
    std::string text;
    for (const Kernel& kernel : kernels_)
        text += kernel.name + " " + std::to_string(kernel.lanes) + " " +
                std::to_string(static_cast<unsigned long long>(std::llround(kernel.laneRate))) + "\n";
    return text;
}

std::optional<Md5KernelRates> Md5KernelRates::parse(std::string_view text)
{
    std::vector<Kernel> kernels;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t first = line.find(' ');
        const std::size_t second = line.find(' ', first + 1);
        if (first == 0 || first == std::string_view::npos || second == std::string_view::npos)
            return std::nullopt;
        Kernel kernel;
        kernel.name = std::string(line.substr(0, first));
        unsigned long long rate = 0;
        const char* lanesEnd = line.data() + second;
        const char* rateEnd = line.data() + line.size();
        if (std::from_chars(line.data() + first + 1, lanesEnd, kernel.lanes).ptr != lanesEnd ||
            std::from_chars(lanesEnd + 1, rateEnd, rate).ptr != rateEnd || kernel.lanes == 0 || rate == 0)
            return std::nullopt;
        kernel.laneRate = static_cast<double>(rate);
        kernels.push_back(std::move(kernel));
    }
    if (kernels.empty())
        return std::nullopt;
    return Md5KernelRates(std::move(kernels));
}

} // namespace listgen
