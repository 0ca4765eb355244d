#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_identity.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

namespace listgen {

// The new report. Written beside the output and put in its place only when complete and on
// disk; until then the old report stays as it was, and a discarded one leaves nothing behind.
// An output that names an open stream ("-", /dev/stdout, /dev/fd/N) is written into that
// stream as it is made instead, since nothing can be put in its place.
class ReportFile {
public:
    // Throws SystemError when the output cannot be written or may not be replaced.
    explicit ReportFile(std::string outputPath);
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile();

    // The output and its temporary file, by name in their folder, which a walk must not list.
    Places ownPlaces() const;

    void append(std::string_view text);
    void commit();

private:
    void findTarget();
    bool followLink(const struct stat& link);
    bool useOwnStream();
    void createTemporary();
    void takeOverOldAttributes();
    void linkTemporary();
    void flush();
    [[noreturn]] void fail(int errorNumber) const;

    std::string outputPath_;
    FileDescriptor folder_;
    FileIdentity folderIdentity_;
    std::string targetName_;
    std::optional<struct stat> oldReport_;
    FileDescriptor file_;
    // The stream written into, for an output that names one; -1 otherwise.
    int stream_ = -1;
    std::string temporaryName_;
    std::string buffer_;
    bool committed_ = false;
};

// Removes the named temporary files of the reports still being written, for a process that
// ends without waiting for a run stuck in a read it cannot leave. Unnamed ones need nothing.
void removeUnfinishedReportFiles() noexcept;

} // namespace listgen
