#pragma once

#include "listgen/common/run_values.h"

namespace listgen {

// Hands out the entries of a walk one by one, in report order.
class EntrySource {
public:
    virtual ~EntrySource() = default;
    // Fills `entry`, reusing its storage; false after the last one, or for now when mustWait().
    virtual bool next(Entry& entry) = 0;
    // True while the source should not go on before entries it gave are done with and have
    // let go of their folders: they hold descriptors, and the process may open only so many.
    virtual bool mustWait() const { return false; }
};

// Takes entries back one by one, strictly in the order the source gave them.
class EntrySink {
public:
    virtual ~EntrySink() = default;
    virtual void accept(const Entry& entry) = 0;
};

} // namespace listgen
