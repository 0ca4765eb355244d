#include "listgen/common/unicode_text.h"

#include "listgen/common/unicode_tables.h"
#include "listgen/common/utf8.h"

#include <algorithm>

namespace listgen {

namespace {

using namespace unicode_tables;

// Hangul syllables decompose and compose by arithmetic, not by table.
constexpr char32_t kSyllableBase = 0xAC00;
constexpr char32_t kLeadingBase = 0x1100;
constexpr char32_t kVowelBase = 0x1161;
constexpr char32_t kTrailingBase = 0x11A7;
constexpr char32_t kLeadingCount = 19;
constexpr char32_t kVowelCount = 21;
constexpr char32_t kTrailingCount = 28;
constexpr char32_t kSyllablesPerLeading = kVowelCount * kTrailingCount;
constexpr char32_t kSyllableCount = kLeadingCount * kSyllablesPerLeading;

template <class Range>
const Range* rangeOf(std::span<const Range> table, char32_t codePoint)
{
    const auto after = std::upper_bound(table.begin(), table.end(), codePoint,
                                        [](char32_t value, const Range& range) { return value < range.first; });
    if (after == table.begin() || codePoint > std::prev(after)->last)
        return nullptr;
    return &*std::prev(after);
}

unsigned combiningClass(char32_t codePoint)
{
    const CombiningClassRange* range = rangeOf(kCombiningClasses, codePoint);
    return range == nullptr ? 0 : range->value;
}

// A character that nothing before it can join or move past: where NFC can work piece by piece.
bool startsStretch(char32_t codePoint)
{
    // Nothing below U+0300 joins or moves, and most names are nothing else.
    if (codePoint < 0x300)
        return true;
    return combiningClass(codePoint) == 0 && rangeOf(kNotNfc, codePoint) == nullptr &&
           rangeOf(kMaybeNfc, codePoint) == nullptr;
}

void decompose(char32_t codePoint, std::u32string& out)
{
    if (codePoint >= kSyllableBase && codePoint < kSyllableBase + kSyllableCount) {
        const char32_t index = codePoint - kSyllableBase;
        out += kLeadingBase + index / kSyllablesPerLeading;
        out += kVowelBase + index % kSyllablesPerLeading / kTrailingCount;
        if (index % kTrailingCount != 0)
            out += kTrailingBase + index % kTrailingCount;
        return;
    }
    const auto found = std::lower_bound(kDecompositions.begin(), kDecompositions.end(), codePoint,
                                        [](const Decomposition& entry, char32_t value) { return entry.codePoint < value; });
    if (found == kDecompositions.end() || found->codePoint != codePoint) {
        out += codePoint;
        return;
    }
    decompose(found->first, out);
    if (found->second != 0)
        decompose(found->second, out);
}

// Canonical decomposition with combining marks in canonical order: NFD.
std::u32string decomposed(std::u32string_view text)
{
    std::u32string out;
    for (const char32_t codePoint : text)
        decompose(codePoint, out);
    for (std::size_t at = 1; at < out.size(); ++at) {
        const unsigned moving = combiningClass(out[at]);
        for (std::size_t before = at; moving != 0 && before > 0 && combiningClass(out[before - 1]) > moving; --before)
            std::swap(out[before - 1], out[before]);
    }
    return out;
}

char32_t composite(char32_t first, char32_t second)
{
    if (first >= kLeadingBase && first < kLeadingBase + kLeadingCount && second >= kVowelBase &&
        second < kVowelBase + kVowelCount)
        return kSyllableBase + ((first - kLeadingBase) * kVowelCount + second - kVowelBase) * kTrailingCount;
    if (first >= kSyllableBase && first < kSyllableBase + kSyllableCount && (first - kSyllableBase) % kTrailingCount == 0 &&
        second > kTrailingBase && second < kTrailingBase + kTrailingCount)
        return first + (second - kTrailingBase);
    const auto found = std::lower_bound(kCompositions.begin(), kCompositions.end(), std::pair(first, second),
                                        [](const Composition& entry, std::pair<char32_t, char32_t> pair) {
                                            return std::pair(entry.first, entry.second) < pair;
                                        });
    return found != kCompositions.end() && found->first == first && found->second == second ? found->composite : 0;
}

std::u32string composed(std::u32string_view text)
{
    std::u32string out;
    std::size_t starter = std::u32string::npos;
    unsigned lastClass = 0;
    for (const char32_t codePoint : decomposed(text)) {
        const unsigned cls = combiningClass(codePoint);
        // Joins the last starter unless a character between them has a class of 0 or not below its own.
        const bool reachable = starter != std::u32string::npos &&
                               (out.size() == starter + 1 || (lastClass != 0 && lastClass < cls));
        if (const char32_t joined = reachable ? composite(out[starter], codePoint) : 0; joined != 0) {
            out[starter] = joined;
            continue;
        }
        if (cls == 0)
            starter = out.size();
        lastClass = cls;
        out += codePoint;
    }
    return out;
}

// Calls `stretch(first, end, codePoints, offsets)` for each run of text from one character that
// starts a stretch to the next, and `raw(at)` for each byte that is not UTF-8.
template <class Stretch, class Raw>
void forEachStretch(std::string_view text, Stretch stretch, Raw raw)
{
    std::u32string codePoints;
    std::vector<std::size_t> offsets;
    std::size_t first = 0;
    const auto flush = [&](std::size_t end) {
        if (!codePoints.empty())
            stretch(first, end, codePoints, offsets);
        codePoints.clear();
        offsets.clear();
        first = end;
    };
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            flush(at);
            raw(at);
            first = ++at;
            continue;
        }
        const char32_t codePoint = utf8CodePoint(text.substr(at, length));
        if (startsStretch(codePoint))
            flush(at);
        codePoints += codePoint;
        offsets.push_back(at);
        at += length;
    }
    flush(text.size());
}

// Whether NFC could change the stretch: a quick check that spares the full one for nearly all text.
bool mayChange(std::u32string_view codePoints)
{
    unsigned lastClass = 0;
    for (const char32_t codePoint : codePoints) {
        const unsigned cls = combiningClass(codePoint);
        if ((cls != 0 && lastClass > cls) || rangeOf(kNotNfc, codePoint) != nullptr ||
            rangeOf(kMaybeNfc, codePoint) != nullptr)
            return true;
        lastClass = cls;
    }
    return false;
}

bool changedByNfc(std::u32string_view codePoints)
{
    return mayChange(codePoints) && composed(codePoints) != codePoints;
}

} // namespace

bool isInvisible(char32_t codePoint) noexcept
{
    if (codePoint < 0x80)
        return codePoint < 0x20 || codePoint == 0x7F;
    return rangeOf(kInvisible, codePoint) != nullptr;
}

std::vector<std::pair<std::size_t, std::size_t>> unnormalisedCharacters(std::string_view text)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    forEachStretch(
        text,
        [&](std::size_t, std::size_t end, const std::u32string& codePoints, const std::vector<std::size_t>& offsets) {
            if (!changedByNfc(codePoints))
                return;
            for (std::size_t i = 0; i < codePoints.size(); ++i) {
                if (!startsStretch(codePoints[i]))
                    spans.emplace_back(offsets[i], i + 1 < offsets.size() ? offsets[i + 1] : end);
            }
        },
        [](std::size_t) {});
    return spans;
}

std::string toNfc(std::string_view text)
{
    std::string out;
    forEachStretch(
        text,
        [&](std::size_t first, std::size_t end, const std::u32string& codePoints, const std::vector<std::size_t>&) {
            if (!changedByNfc(codePoints)) {
                out.append(text.substr(first, end - first));
                return;
            }
            for (const char32_t codePoint : composed(codePoints))
                appendUtf8(out, codePoint);
        },
        [&](std::size_t at) { out += text[at]; });
    return out;
}

std::string_view normalisationForm(std::string_view text)
{
    if (unnormalisedCharacters(text).empty())
        return "NFC";
    bool nfd = true;
    forEachStretch(
        text,
        [&](std::size_t, std::size_t, const std::u32string& stretch, const std::vector<std::size_t>&) {
            nfd = nfd && decomposed(stretch) == stretch;
        },
        [](std::size_t) {});
    return nfd ? "NFD" : "mixed";
}

} // namespace listgen
