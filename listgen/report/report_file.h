#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_identity.h"

#include <sys/stat.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace listgen {

// One output of a run (the report, a manifest). Written beside the output and put in its
// place only when complete and on disk; until then the old file stays as it was, and a
// discarded one leaves nothing behind. An output that names an open stream ("-",
// /dev/stdout, /dev/fd/N) is written into that stream as it is made instead, since nothing
// can be put in its place.
class ReportFile {
public:
    // Throws SystemError when the output cannot be written or may not be replaced.
    explicit ReportFile(std::string outputPath);
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile();

    // The output and its temporary file, by name in their folder, which a walk must not list.
    Places ownPlaces() const;
    // The file the output goes into now: the stream's, or the one it replaces; none for a
    // new file. Two outputs with one identity would overwrite each other.
    std::optional<FileIdentity> identity() const;

    void append(std::string_view text);
    void commit() { commitTogether({this}); }

    // Puts outputs in place together: each is written out and synced under a temporary name
    // before any is renamed, so a failure until then leaves every old file as it was; then
    // they are renamed in the order given (null entries skipped), and their folders synced.
    // A rename that fails puts the earlier ones back, and the failure names any it could not.
    // Throws SystemError; one about a folder's sync comes after the renames.
    static void commitTogether(std::initializer_list<ReportFile*> outputs);

private:
    void findTarget();
    bool followLink(const struct stat& link);
    bool useOwnStream();
    void createTemporary();
    void createNamedTemporary();
    void lockTemporary();
    void removeAbandonedTemporaries();
    void takeOverOldAttributes();
    void linkTemporary();
    void flush();
    void prepare();
    void putInPlace();
    void keepOld();
    bool takeBack();
    void dropOld();
    void syncFolder();
    void forgetTemporary();
    [[noreturn]] void fail(int errorNumber) const;

    std::string outputPath_;
    FileDescriptor folder_;
    struct stat folderStatus_ {};
    std::string targetName_;
    std::optional<struct stat> oldReport_;
    FileDescriptor file_;
    // The stream written into, for an output that names one; -1 otherwise.
    int stream_ = -1;
    std::string temporaryName_;
    // The old file's second name while outputs are put in place.
    std::string keptName_;
    // The path as spelled to the name now looked at, and the link that led there when another
    // user owns it.
    std::string spelled_;
    struct ForeignLink {
        uid_t owner = 0;
        std::string path;
    };
    std::optional<ForeignLink> foreignLink_;
    std::string buffer_;
    bool committed_ = false;
};

} // namespace listgen
