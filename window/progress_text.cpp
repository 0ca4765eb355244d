#include "window/progress_text.h"

#include "listgen/common/byte_count_text.h"

#include <string_view>

namespace vaskerel {

namespace {

QString elapsedText(std::chrono::milliseconds elapsed)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    const QLatin1Char zero('0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

} // namespace

QString byteCountText(std::uint64_t bytes)
{
    static constexpr std::string_view kUnits[] = {"バイト", "KiB", "MiB", "GiB", "TiB", "PiB"};
    return QString::fromStdString(listgen::byteCountText(bytes, kUnits));
}

QString progressText(const listgen::Progress& progress, std::chrono::milliseconds elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const double bytesPerSecond = seconds > 0 ? static_cast<double>(progress.bytes) / seconds : 0;
    const double filesPerSecond = seconds > 0 ? static_cast<double>(progress.files) / seconds : 0;
    // Small files are many for their bytes: their pace shows in files.
    const QString files = QString::number(filesPerSecond, 'f', filesPerSecond < 10 && filesPerSecond > 0 ? 1 : 0);
    return QStringLiteral("処理済み: ファイル %1 個、%2\n平均速度: %3/秒、ファイル %4 個/秒\n経過時間: %5")
        .arg(progress.files)
        .arg(byteCountText(progress.bytes), byteCountText(static_cast<std::uint64_t>(bytesPerSecond)), files,
             elapsedText(elapsed));
}

} // namespace vaskerel
