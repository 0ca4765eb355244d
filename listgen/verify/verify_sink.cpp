#include "listgen/verify/verify_sink.h"

#include "listgen/walk/rel_name.h"
#include "listgen/walk/walk_order.h"

#include <algorithm>

namespace listgen {

VerifySink::VerifySink(RowReader& report, std::string strRoot, const ExcludeFilter& excludes,
                       VerifyOutcome& outcome)
    : report_(report)
    , strRoot_(std::move(strRoot))
    , excludes_(excludes)
    , outcome_(outcome)
{
}

const ReportRow* VerifySink::currentRow()
{
    while (!rowLoaded_ && !rowsEnded_) {
        rowsEnded_ = !report_.next(row_);
        rowLoaded_ = !rowsEnded_ && !excludes_.excludesPath(row_.relName);
    }
    return rowLoaded_ ? &row_ : nullptr;
}

void VerifySink::advance()
{
    rowLoaded_ = false;
}

void VerifySink::passRowsBefore(std::string_view relative)
{
    for (const ReportRow* row = currentRow(); row != nullptr && walkOrderLess(row->relName, relative);
         row = currentRow()) {
        outcome_.differences.push_back({Difference::Kind::Missing, row->relName});
        advance();
    }
}

void VerifySink::compare(std::string_view relative, const FileFacts& facts)
{
    const ReportRow* row = currentRow();
    if (row == nullptr || row->relName != relative) {
        newFiles_.push_back({Difference::Kind::New, std::string(relative)});
        return;
    }
    ++outcome_.rowsChecked;
    if ((row->sizeKnown && row->facts.size != facts.size) || row->facts.md5 != facts.md5)
        outcome_.differences.push_back({Difference::Kind::Changed, row->relName});
    advance();
}

void VerifySink::accept(const Entry& entry)
{
    const std::string relative(relName(entry.path, strRoot_));
    switch (entry.kind) {
    case Entry::Kind::UnlistableFolder: {
        outcome_.unreadable.push_back({SkippedEntry::Kind::Folder, entry.path, entry.reason});
        // Its rows cannot be checked, which is not the same as missing.
        const std::string inside = relative + '/';
        const std::string insideExample = inside + 'x';
        for (const ReportRow* row = currentRow(); row != nullptr; row = currentRow()) {
            if (!row->relName.starts_with(inside)) {
                if (!walkOrderLess(row->relName, insideExample))
                    break;
                outcome_.differences.push_back({Difference::Kind::Missing, row->relName});
            }
            advance();
        }
        break;
    }
    case Entry::Kind::Hashed:
        passRowsBefore(relative);
        compare(relative, entry.facts);
        break;
    case Entry::Kind::Unreadable:
        outcome_.unreadable.push_back({SkippedEntry::Kind::File, entry.path, entry.reason});
        passRowsBefore(relative);
        if (const ReportRow* row = currentRow(); row != nullptr && row->relName == relative)
            advance();
        break;
    case Entry::Kind::File:
    case Entry::Kind::Cancelled:
        break;
    }
}

void VerifySink::finish()
{
    for (const ReportRow* row = currentRow(); row != nullptr; row = currentRow()) {
        outcome_.differences.push_back({Difference::Kind::Missing, row->relName});
        advance();
    }
    std::move(newFiles_.begin(), newFiles_.end(), std::back_inserter(outcome_.differences));
    newFiles_.clear();
}

} // namespace listgen
