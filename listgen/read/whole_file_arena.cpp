#include "listgen/read/whole_file_arena.h"

#include <algorithm>
#include <stdexcept>

namespace listgen {

namespace {

constexpr std::size_t kAlignment = 64;

std::size_t roundUp(std::size_t size)
{
    return (size + kAlignment - 1) & ~(kAlignment - 1);
}

} // namespace

WholeFileArena::WholeFileArena(std::size_t size)
    : memory_(size)
{
}

char* WholeFileArena::take(std::size_t size)
{
    size = roundUp(std::max<std::size_t>(size, 1));
    if (pieces_.empty())
        head_ = 0;
    std::size_t offset = head_;
    if (!pieces_.empty()) {
        const std::size_t tail = pieces_.front().offset;
        if (head_ > tail) {
            // Free from the head to the end, and from the start to the oldest piece.
            if (head_ + size > memory_.size()) {
                if (size > tail)
                    return nullptr;
                offset = 0;
            }
        } else if (head_ + size > tail) {
            return nullptr;
        }
    } else if (size > memory_.size()) {
        return nullptr;
    }
    pieces_.push_back({offset, size, false});
    head_ = offset + size;
    return memory_.get() + offset;
}

void WholeFileArena::giveBack(const char* data)
{
    const auto offset = static_cast<std::size_t>(data - memory_.get());
    const auto piece = std::find_if(pieces_.begin(), pieces_.end(),
                                    [offset](const Piece& p) { return p.offset == offset && !p.given; });
    if (piece == pieces_.end())
        throw std::logic_error("a piece given back to the arena that it did not hand out");
    piece->given = true;
    while (!pieces_.empty() && pieces_.front().given)
        pieces_.pop_front();
}

} // namespace listgen
