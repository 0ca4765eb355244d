#include "window/outcome_text.h"

#include "listgen/common/display_text.h"

namespace vaskerel {

QString partialReportText(const listgen::Outcome& outcome)
{
    const auto count = static_cast<qsizetype>(outcome.skipped.size());
    QString text = QString::fromUtf8(kDoneMessage) + QStringLiteral("\n\n");
    text += count == 1 ? QStringLiteral("1 entry could not be read and was left out of the report:")
                       : QStringLiteral("%1 entries could not be read and were left out of the report:").arg(count);
    for (qsizetype i = 0; i < std::min<qsizetype>(count, kNamedSkippedEntries); ++i) {
        const listgen::SkippedEntry& entry = outcome.skipped[static_cast<std::size_t>(i)];
        text += QStringLiteral("\n") + QString::fromStdString(listgen::displayText(entry.path)) + QStringLiteral(": ") +
                QString::fromStdString(entry.reason);
    }
    if (count > kNamedSkippedEntries)
        text += QStringLiteral("\n… and %1 more").arg(count - kNamedSkippedEntries);
    return text;
}

} // namespace vaskerel
