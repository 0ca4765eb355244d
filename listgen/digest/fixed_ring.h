#pragma once

#include <cstddef>
#include <vector>

namespace listgen {

// A first-in first-out queue whose storage is allocated once, when it is made.
template <class T>
class FixedRing {
public:
    explicit FixedRing(std::size_t capacity = 0) : slots_(capacity) {}

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return slots_.size(); }
    bool empty() const { return size_ == 0; }
    bool full() const { return size_ == slots_.size(); }

    // The caller checks full() first.
    void push(const T& value)
    {
        slots_[(head_ + size_) % slots_.size()] = value;
        ++size_;
    }
    T& front() { return slots_[head_]; }
    // The caller checks index < size().
    const T& at(std::size_t index) const { return slots_[(head_ + index) % slots_.size()]; }
    const T& front() const { return slots_[head_]; }
    void pop()
    {
        head_ = (head_ + 1) % slots_.size();
        --size_;
    }

private:
    std::vector<T> slots_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

} // namespace listgen
