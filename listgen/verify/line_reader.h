#pragma once

#include "listgen/common/file_descriptor.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace listgen {

// What a listing was taken for.
enum class ListingKind { Report, Manifest };

// Why a file is not a listing this tool reads.
enum class ListingProblem {
    Empty,
    NulByte,
    CarriageReturnInLine,
    LineTooLong,
    LastLineUnended,
    NoTitleLine,
    BadTableStart,
    EndsBeforeTable,
    NoFooter,
    TextAfterEnd,
    BadRow,
    RowPathNoFolderCanHold,
    RowOutOfOrder,
    BadManifestLine,
    OtherDigestKind,
    MixedDigests,
    PathNoFolderCanHold,
    NoChecksumLine,
    ListedTwice,
    // More rows than the listing it is compared with could have.
    MoreRowsThanWanted,
};

struct ListingFailure {
    std::string path;
    ListingKind kind = ListingKind::Report;
    ListingProblem problem = ListingProblem::Empty;
    // From 1; 0 names no line.
    std::size_t line = 0;
};

// A file that is not what it claims to be: a report or a manifest this tool reads.
class ReportFormatError : public std::exception {
public:
    explicit ReportFormatError(ListingFailure failure) : failure_(std::move(failure)) {}
    const ListingFailure& failure() const noexcept { return failure_; }
    const char* what() const noexcept override { return "not a listing"; }

private:
    ListingFailure failure_;
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
    // What the file has to be, for the messages: a report at first.
    void expect(ListingKind kind) { kind_ = kind; }
    // md5sum reads a carriage return inside a line as part of a name; a report never holds one.
    void allowCarriageReturns() { carriageReturnsAllowed_ = true; }
    // Throws ReportFormatError naming the file and the line read last (from 1).
    [[noreturn]] void refuse(ListingProblem problem) const;
    // A file can be read again from its start, and its lines counted without reading them
    // as lines; a pipe cannot.
    bool canReadAgain() const;
    // Starts again at the first line; throws SystemError when that cannot be done.
    void readAgain();
    // The line ends in the whole file, an upper bound on its lines; none for a pipe.
    std::optional<std::uint64_t> countLineEnds() const;
    const std::string& path() const noexcept { return path_; }

private:
    void readBlocking();
    void refuseNul(std::size_t from) const;

    std::string path_;
    ListingKind kind_ = ListingKind::Report;
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
