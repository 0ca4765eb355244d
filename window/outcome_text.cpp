#include "window/outcome_text.h"

#include "listgen/common/display_text.h"
#include "listgen/common/system_error.h"

#include <cerrno>
#include <cstring>


namespace vaskerel {

namespace {

// The reasons the core words itself; the system's own come in the user's locale already.
QString reasonText(const std::string& reason)
{
    if (reason == "not a regular file")
        return QStringLiteral("通常のファイルではありません");
    if (reason == "changed while it was read")
        return QStringLiteral("読み取り中に変更されました");
    if (reason == "broken symbolic link")
        return QStringLiteral("リンク先がないシンボリックリンクです");
    if (reason == "symbolic link loop")
        return QStringLiteral("シンボリックリンクが循環しています");
    if (reason == "moved while it was listed")
        return QStringLiteral("一覧の途中で移動されました");
    return QString::fromStdString(reason);
}

QString failureReason(const std::error_code& code)
{
    if (code.category() == std::generic_category())
        return QString::fromLocal8Bit(std::strerror(code.value()));
    switch (static_cast<listgen::RunError>(code.value())) {
    case listgen::RunError::NotARegularFile: return QStringLiteral("通常のファイルではありません");
    case listgen::RunError::ForeignLinkInSharedFolder:
        return QStringLiteral("共有フォルダーにある他のユーザーのシンボリックリンクはたどりません");
    case listgen::RunError::ForeignFileInSharedFolder:
        return QStringLiteral("共有フォルダーにある他のユーザーのファイルは置き換えません");
    case listgen::RunError::SameFileTwice: return QStringLiteral("レポートとチェックサムが同じファイルになります");
    case listgen::RunError::OpenFileOfAnotherProcess:
        return QStringLiteral("このプロセスが開いているファイルではありません");
    case listgen::RunError::ReportReadOnly: return QStringLiteral("レポートが読み取り専用です");
    }
    return QString::fromStdString(code.message());
}

QString failureDetail(const listgen::Outcome& outcome)
{
    if (!outcome.failure)
        return QStringLiteral("内部エラー: %1").arg(QString::fromStdString(outcome.error));
    const listgen::RunFailure& failure = *outcome.failure;
    const QString path = QString::fromStdString(listgen::displayText(failure.path));
    QString reason = failureReason(failure.code);
    if (failure.action == "list folder")
        return QStringLiteral("フォルダー「%1」の中を一覧にできません。\n理由: %2").arg(path, reason);
    if (failure.action == "write") {
        const int error = failure.code.category() == std::generic_category() ? failure.code.value() : 0;
        if (error == EACCES || error == EPERM || error == EROFS)
            reason += QStringLiteral("\n新しいレポートは古いレポートの隣に作ってから置き換えるため、"
                                     "出力先のフォルダーに書き込めなければなりません。");
        return QStringLiteral("「%1」に書き込めません。\n理由: %2").arg(path, reason);
    }
    return QStringLiteral("「%1」を読み取れません。\n理由: %2").arg(path, reason);
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
           failureDetail(outcome);
}

QString settingsSetAsideText(const QString& file, const QString& setAsideAs)
{
    return QStringLiteral("設定ファイル %1 は大きすぎるか通常のファイルではないため、読まずに %2 へ移し、新しく作り直します。")
        .arg(file, setAsideAs);
}

QString notHeldExactlyText(const QByteArray& path)
{
    const QString shown = QString::fromStdString(listgen::displayText(std::string_view(path.constData(), static_cast<std::size_t>(path.size()))));
    return QStringLiteral("「%1」の名前には UTF-8 でない文字が含まれているため、欄に正確に入れられません。"
                          "別のフォルダーやファイルと取り違えないように、受け付けませんでした。\n\n"
                          "このような名前はコマンドライン (vaskerel -i フォルダー -o ファイル) で扱えます。")
        .arg(shown);
}

QString cancelledText()
{
    return QStringLiteral("キャンセルしました。出力ファイルは変更していません。");
}

} // namespace vaskerel
