#include "window/outcome_text.h"

#include "listgen/common/display_text.h"

#include <array>
#include <string_view>

namespace vaskerel {

namespace {

struct FailureWording {
    std::string_view prefix;
    const char* japanese; // %1 the path, %2 the reason
};

// The core words a failed run as "cannot <action> <path>: <reason>"; the window says it in Japanese.
constexpr std::array<FailureWording, 2> kFailureWordings = {{
    {"cannot list folder ", "フォルダー「%1」の中を一覧にできません。\n理由: %2"},
    {"cannot write ", "「%1」に書き込めません。\n理由: %2"},
}};

// The reasons the core words itself; the system's own come in the user's locale already.
QString reasonText(const std::string& reason)
{
    if (reason == "not a regular file")
        return QStringLiteral("通常のファイルではありません");
    if (reason == "changed while it was read")
        return QStringLiteral("読み取り中に変更されました");
    return QString::fromStdString(reason);
}

QString failureDetail(const std::string& error)
{
    for (const FailureWording& wording : kFailureWordings) {
        if (!error.starts_with(wording.prefix))
            continue;
        // Reasons never hold ": ", paths may.
        const std::size_t reasonStart = error.rfind(": ");
        if (reasonStart == std::string::npos || reasonStart < wording.prefix.size())
            break;
        const std::string path = error.substr(wording.prefix.size(), reasonStart - wording.prefix.size());
        return QString::fromUtf8(wording.japanese)
            .arg(QString::fromStdString(path), reasonText(error.substr(reasonStart + 2)));
    }
    return QStringLiteral("内部エラー: %1").arg(QString::fromStdString(error));
}

} // namespace

QString partialReportText(const listgen::Outcome& outcome)
{
    const auto count = static_cast<qsizetype>(outcome.skipped.size());
    QString text = QString::fromUtf8(kDoneMessage) + QStringLiteral("\n\n");
    text += QStringLiteral("読み取れなかった %1 件をレポートから除きました:").arg(count);
    for (qsizetype i = 0; i < std::min<qsizetype>(count, kNamedSkippedEntries); ++i) {
        const listgen::SkippedEntry& entry = outcome.skipped[static_cast<std::size_t>(i)];
        text += QStringLiteral("\n") + QString::fromStdString(listgen::displayText(entry.path)) + QStringLiteral(": ") +
                reasonText(entry.reason);
    }
    if (count > kNamedSkippedEntries)
        text += QStringLiteral("\nほか %1 件").arg(count - kNamedSkippedEntries);
    return text;
}

QString notWrittenText(const listgen::Outcome& outcome)
{
    return QStringLiteral("レポートを作成できませんでした。出力ファイルは変更していません。\n\n") +
           failureDetail(outcome.error);
}

QString cancelledText()
{
    return QStringLiteral("キャンセルしました。出力ファイルは変更していません。");
}

} // namespace vaskerel
