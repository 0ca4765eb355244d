#pragma once

#include <cstddef>
#include <string_view>

namespace listgen {

inline constexpr std::size_t kNoStep = std::string_view::npos;

// Matches a pattern of steps against a sequence of items: a star step takes any number of
// items, every other step exactly one. So after a failure only the latest star needs to take
// one item more, as earlier ones could gain nothing it cannot, and time grows with the
// product of the two lengths at most. `isStar(p)` tells whether step p is a star;
// `stepOver(p, i)` gives the step after p when step p takes item i, else kNoStep.
template <class IsStar, class StepOver>
bool starMatch(std::size_t steps, std::size_t items, IsStar isStar, StepOver stepOver)
{
    std::size_t p = 0;
    std::size_t i = 0;
    std::size_t starP = kNoStep;
    std::size_t starI = 0;
    while (i < items) {
        if (p < steps && isStar(p)) {
            while (p < steps && isStar(p))
                ++p;
            starP = p;
            starI = i;
            continue;
        }
        if (p < steps) {
            const std::size_t next = stepOver(p, i);
            if (next != kNoStep) {
                p = next;
                ++i;
                continue;
            }
        }
        if (starP == kNoStep)
            return false;
        p = starP;
        i = ++starI;
    }
    while (p < steps && isStar(p))
        ++p;
    return p == steps;
}

} // namespace listgen
