#include "window/existing_output.h"

#include "listgen/common/file_descriptor.h"
#include "listgen/common/system_error.h"
#include "listgen/verify/line_reader.h"
#include "listgen/verify/report_reader.h"

#include <QFile>
#include <QMimeDatabase>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vaskerel {

namespace {

// A report's rows are in walk order with their digests; this many bytes of them, after its
// head, leave no doubt whose report it is.
constexpr off_t kMostRead = off_t{1} << 20;

bool readsAsReport(const listgen::FileDescriptor& file, const std::string& path)
{
    // The reader's copy shares the file offset, so `file` tells how far it has got.
    listgen::FileDescriptor copy(::fcntl(file.get(), F_DUPFD_CLOEXEC, 0));
    if (!copy.valid())
        return false;
    try {
        listgen::LineReader lines(std::move(copy), path);
        std::string first;
        if (!lines.next(first))
            return false;
        listgen::ReportReader report(std::move(lines), first);
        listgen::ReportRow row;
        // The offset is asked for now and then: a system call per row would cost more than the row.
        for (std::size_t rows = 1; report.next(row); ++rows) {
            if (rows % 256 == 0 && ::lseek(file.get(), 0, SEEK_CUR) > kMostRead)
                break;
        }
        return true;
    } catch (const listgen::ReportFormatError&) {
        return false;
    } catch (const listgen::SystemError&) {
        return false;
    }
}

// Enough of a file's start for the type database's content rules.
QByteArray headOf(const listgen::FileDescriptor& file)
{
    QByteArray head(16 << 10, '\0');
    const ssize_t read = ::pread(file.get(), head.data(), static_cast<std::size_t>(head.size()), 0);
    head.resize(read > 0 ? read : 0);
    return head;
}

} // namespace

ExistingOutput existingOutput(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    ExistingOutput existing;
    existing.kind = ExistingOutput::Kind::Other;
    existing.size = static_cast<std::uint64_t>(status.st_size);
    existing.stamp = {status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
    // Non-blocking, in case a FIFO took the file's place since.
    const listgen::FileDescriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (!file.valid() || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
        existing.type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).comment();
        return existing;
    }
    if (readsAsReport(file, name.toStdString()))
        existing.kind = ExistingOutput::Kind::Report;
    else
        existing.type = QMimeDatabase().mimeTypeForFileNameAndData(path, headOf(file)).comment();
    return existing;
}

} // namespace vaskerel
