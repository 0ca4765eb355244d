#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/report/checksum_manifest.h"
#include "listgen/verify/line_reader.h"
#include "listgen/walk/open_folders.h"

#include <deque>
#include <string>

namespace listgen {

// The files an md5sum or sha256sum manifest lists, one entry per checksum line in the
// manifest's order, each opened in its folder below `root` as md5sum -c would open it. The
// manifest is read as it goes, so it may be as long as it likes.
class ManifestFiles : public EntrySource {
public:
    // What one line of the manifest was, in the order of the lines; a checksum line is taken
    // off with the entry it gave.
    struct Line {
        std::size_t number = 0;
        // False for a line md5sum -c would not read, or one with a digest of the other kind.
        bool checksum = false;
        std::string name;
        std::string hex;
    };

    // Reads up to the first checksum line, whose digest sets the kind of the rest. Throws
    // SystemError when `root` cannot be opened, and for the manifest as LineReader does.
    ManifestFiles(LineReader lines, const std::string& root);

    bool next(Entry& entry) override;
    bool mustWait() const override { return folders_.full(); }

    DigestKind digests() const noexcept { return kind_; }
    // The lines read and not yet taken, oldest first.
    std::deque<Line>& lines() noexcept { return lines_; }

private:
    // Reads the next line into lines_; false at the end of the manifest.
    bool readLine();
    void open(Entry& entry, const std::string& name);

    LineReader reader_;
    OpenFolders folders_;
    SharedFolder root_;
    DigestKind kind_ = DigestKind::Md5;
    bool kindKnown_ = false;
    UnmarkedLines unmarked_ = UnmarkedLines::Undecided;
    std::deque<Line> lines_;
    std::size_t linesRead_ = 0;
    // How many lines at the end of lines_ have not been given as entries yet.
    std::size_t ungiven_ = 0;
    // The folder the last entry was opened in, kept for the next, which is mostly in it too.
    std::string lastFolderName_;
    SharedFolder lastFolder_;
    std::string text_;
};

} // namespace listgen
