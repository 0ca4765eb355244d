#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/report/report_format.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace listgen {

// The rows of a report or a manifest, one by one, in walk order.
class RowReader {
public:
    virtual ~RowReader() = default;
    // False after the last row; throws ReportFormatError for a file this tool did not write.
    virtual bool next(ReportRow& row) = 0;
    // The kind of digest every row holds.
    virtual DigestKind digests() const { return DigestKind::Md5; }
    // At most this many rows are read, where that is known before they are.
    virtual std::optional<std::uint64_t> mostRows() const = 0;
};

// Opens `path` ("-" for standard input) and reads it as a report or, when it does not start
// like one, as an md5sum manifest.
std::unique_ptr<RowReader> openRowReader(const std::string& path);
// The same for a file opened already; `path` names it in messages. One that turns out to be a
// manifest of more than `mostRows` rows is refused before it is read whole.
std::unique_ptr<RowReader> openRowReader(FileDescriptor file, const std::string& path,
                                         std::uint64_t mostRows = ~std::uint64_t{0});

} // namespace listgen
