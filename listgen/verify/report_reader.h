#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/report/report_format.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace listgen {

// A file that is not, byte for byte, a report this tool writes.
class ReportFormatError : public std::runtime_error {
public:
    ReportFormatError(const std::string& path, const std::string& problem, std::size_t line);
};

// Reads a report back row by row, strictly: every row must be exactly what the writer renders
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
