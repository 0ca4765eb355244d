#pragma once

#include "listgen/common/file_descriptor.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace listgen {

// A file that is not what it claims to be: a report or a manifest this tool writes.
class ReportFormatError : public std::runtime_error {
public:
    // `line` counts from 1; 0 names no line.
    ReportFormatError(const std::string& path, const std::string& problem, std::size_t line);
};

// Reads a report or manifest line by line, from a file, a pipe, a FIFO or standard input ("-").
// Lines end in CR LF or LF alone (a transfer in text mode turns one into the other).
class LineReader {
public:
    // Throws SystemError when the file cannot be opened.
    explicit LineReader(std::string path);
    // Reads a file opened already; `path` names it in messages.
    LineReader(FileDescriptor file, std::string path);

    // The next line without its line end; false at the end of the file. The last line may
    // lack its line end, as md5sum -c allows; a report never does.
    bool next(std::string& line);
    bool lastLineUnended() const noexcept { return unended_; }
    // What the file has to be, for the messages: "a report written by vaskerel" at first.
    void expect(std::string kind) { kind_ = std::move(kind); }
    // md5sum reads a carriage return inside a line as part of a name; a report never holds one.
    void allowCarriageReturns() { carriageReturnsAllowed_ = true; }
    // Throws ReportFormatError naming the file and the line read last (from 1).
    [[noreturn]] void refuse(const std::string& problem) const;
    const std::string& path() const noexcept { return path_; }

private:
    void readBlocking();
    void refuseNul(std::size_t from) const;

    std::string path_;
    std::string kind_ = "a report written by vaskerel";
    FileDescriptor file_;
    std::string buffer_;
    std::size_t bufferAt_ = 0;
    // Reads start small, since most files read are short, and grow for long ones.
    std::size_t readSize_ = std::size_t{16} << 10;
    bool endOfFile_ = false;
    bool carriageReturnsAllowed_ = false;
    bool unended_ = false;
    std::size_t line_ = 0;
};

} // namespace listgen
