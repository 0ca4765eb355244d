#pragma once

#include "listgen/file_descriptor.h"
#include "listgen/md5_digest.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace listgen {

// A file that is not, byte for byte, a report this tool writes.
class ReportFormatError : public std::runtime_error {
public:
    ReportFormatError(const std::string& path, const std::string& problem, std::size_t line);
};

struct ReportRow {
    std::string relName;
    std::uint64_t size = 0;
    Md5Digest::Hex md5{};
};

// Reads a report back row by row, strictly: every row must be exactly what the renderer writes
// for its name, the rows must come in walk order, and the document must end as written.
class ReportReader {
public:
    // Throws SystemError when the file cannot be read, ReportFormatError when it is foreign.
    explicit ReportReader(std::string path);

    // False after the last row, once the end of the document has been checked.
    bool next(ReportRow& row);

private:
    bool readLine(std::string& line);
    void readHeader();
    bool parseRow(std::string_view text, ReportRow& row) const;
    [[noreturn]] void refuse(const std::string& problem) const;

    std::string path_;
    FileDescriptor file_;
    std::string buffer_;
    std::size_t bufferAt_ = 0;
    bool endOfFile_ = false;
    std::size_t line_ = 0;
    std::string pendingRowText_;
    bool pendingRow_ = false;
    bool finished_ = false;
    std::string previousName_;
    bool havePrevious_ = false;
};

} // namespace listgen
