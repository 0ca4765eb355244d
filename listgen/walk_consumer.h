#pragma once

#include "listgen/file_hasher.h"
#include "listgen/list_folder.h"

namespace listgen {

// Takes the walk's items back one by one, strictly in report order.
class WalkConsumer {
public:
    virtual ~WalkConsumer() = default;
    virtual void accept(const WalkItem& item, const HashResult& result) = 0;
};

} // namespace listgen
