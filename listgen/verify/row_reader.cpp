#include "listgen/verify/row_reader.h"

#include "listgen/verify/line_reader.h"
#include "listgen/verify/manifest_reader.h"
#include "listgen/verify/report_reader.h"

namespace listgen {

namespace {

std::unique_ptr<RowReader> readerFor(LineReader lines, std::uint64_t mostRows)
{
    std::string first;
    if (!lines.next(first))
        throw ReportFormatError({lines.path(), ListingKind::Report, ListingProblem::Empty, 0});
    if (first.starts_with("<html>"))
        return std::make_unique<ReportReader>(std::move(lines), first);
    return std::make_unique<ManifestReader>(std::move(lines), first, mostRows);
}

} // namespace

std::unique_ptr<RowReader> openRowReader(const std::string& path)
{
    return readerFor(LineReader(path), ~std::uint64_t{0});
}

std::unique_ptr<RowReader> openRowReader(FileDescriptor file, const std::string& path, std::uint64_t mostRows)
{
    return readerFor(LineReader(std::move(file), path), mostRows);
}

} // namespace listgen
