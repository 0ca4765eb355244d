#pragma once

#include "listgen/common/run_values.h"

namespace listgen {

// Hands out the entries of a walk one by one, in report order.
class EntrySource {
public:
    virtual ~EntrySource() = default;
    // Fills `entry`, reusing its storage; false after the last one.
    virtual bool next(Entry& entry) = 0;
};

// Takes entries back one by one, strictly in the order the source gave them.
class EntrySink {
public:
    virtual ~EntrySink() = default;
    virtual void accept(const Entry& entry) = 0;
};

} // namespace listgen
