#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_identity.h"

#include <string>
#include <string_view>

namespace listgen {

// The new report, written beside the output and put in its place only when complete and on
// disk; until then the old report stays as it was, and a discarded one leaves nothing behind.
class ReportFile {
public:
    // Throws SystemError when the output cannot be written or may not be replaced.
    explicit ReportFile(std::string outputPath);
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile();

    // The old report and the new one, which the walk must not list.
    const FileIdentities& ownFiles() const noexcept { return ownFiles_; }

    void append(std::string_view text);
    void commit();

private:
    void checkExistingOutput();
    void openFolder();
    void createTemporary();
    void linkTemporary();
    void flush();
    [[noreturn]] void fail(int errorNumber) const;

    std::string outputPath_;
    std::string targetPath_;
    std::string targetName_;
    FileDescriptor folder_;
    FileDescriptor file_;
    std::string temporaryName_;
    std::string buffer_;
    FileIdentities ownFiles_;
    bool committed_ = false;
};

} // namespace listgen
