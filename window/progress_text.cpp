#include "window/progress_text.h"

#include <array>

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
    static constexpr std::array<const char*, 5> kUnits = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(bytes);
    double scaled = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (scaled >= 1024 && unit + 1 < kUnits.size()) {
        scaled /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(scaled, 0, 'f', 1).arg(QLatin1String(kUnits[unit]));
}

QString progressText(const listgen::Progress& progress, std::chrono::milliseconds elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const auto rate = seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(progress.bytes) / seconds) : 0;
    return QStringLiteral("処理済み: ファイル %1 個、%2\n平均速度: %3/秒\n経過時間: %4")
        .arg(progress.files)
        .arg(byteCountText(progress.bytes), byteCountText(rate), elapsedText(elapsed));
}

} // namespace vaskerel
