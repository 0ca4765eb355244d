#include "window/outcome_text.h"

#include "listgen/common/display_text.h"
#include "listgen/common/system_error.h"
#include "window/progress_text.h"

#include <cerrno>
#include <cstring>


namespace vaskerel {

namespace {

QString shownPath(const QByteArray& path)
{
    return QString::fromStdString(listgen::displayText(std::string_view(path.constData(), static_cast<std::size_t>(path.size()))));
}

QString shownPath(const QString& path)
{
    return shownPath(path.toUtf8());
}

} // namespace

QString reasonText(const std::error_code& code)
{
    if (listgen::isSystemCode(code))
        return QString::fromLocal8Bit(std::strerror(code.value()));
    using listgen::RunError;
    switch (static_cast<RunError>(code.value())) {
    case RunError::NotARegularFile: return QStringLiteral("通常のファイルではありません");
    case RunError::ForeignLinkInSharedFolder:
        return QStringLiteral("共有フォルダーにある他のユーザーのシンボリックリンクはたどりません");
    case RunError::ForeignFileInSharedFolder:
        return QStringLiteral("共有フォルダーにある他のユーザーのファイルは置き換えません");
    case RunError::ForeignLinkToOthersFile:
        return QStringLiteral("他のユーザーのシンボリックリンクで、そのユーザーが置き換えられないファイルを指しているため、たどりません");
    case RunError::ForeignLinkToUnreadable:
        return QStringLiteral("他のユーザーのシンボリックリンクで、そのユーザーが読めないファイルを指しています");
    case RunError::TakesDataAway: return QStringLiteral("読むとシステムからデータを取り去るため、開きません");
    case RunError::MemoryImage: return QStringLiteral("ファイルではなくメモリーの写しです");
    case RunError::KernelLink: return QStringLiteral("カーネルが開いているファイルへ張ったリンクで、ツリーのファイルではありません");
    case RunError::LongerThanItsSize: return QStringLiteral("示された大きさ (または 64 MiB) を超えて読み出されます");
    case RunError::SameFileTwice: return QStringLiteral("レポートとチェックサムが同じファイルになります");
    case RunError::OpenFileOfAnotherProcess: return QStringLiteral("このプロセスが開いているファイルではありません");
    case RunError::ReportReadOnly: return QStringLiteral("レポートが読み取り専用です");
    case RunError::ChangedWhileRead: return QStringLiteral("読み取り中に変更されました");
    case RunError::BrokenLink: return QStringLiteral("リンク先がないシンボリックリンクです");
    case RunError::LinkLoop: return QStringLiteral("シンボリックリンクが循環しています");
    case RunError::MovedWhileListed: return QStringLiteral("一覧の途中で移動されました");
    case RunError::OutsideFolder: return QStringLiteral("フォルダーの外を指す名前です");
    case RunError::NoDigestImplementation: return QStringLiteral("OpenSSL にその実装がありません");
    case RunError::Unexpected: return QStringLiteral("予期しないエラーです");
    }
    return QStringLiteral("不明なエラーです");
}

namespace {

QString failureDetail(const listgen::RunFailure& failure)
{
    if (failure.code == listgen::RunError::Unexpected)
        return QStringLiteral("内部エラー: %1").arg(QString::fromStdString(failure.detail));
    const QString path = QString::fromStdString(listgen::displayText(failure.path));
    QString reason = reasonText(failure.code);
    if (failure.hint == listgen::FailureHint::OutputFolderMustBeWritable)
        reason += QStringLiteral("\n新しいレポートは古いレポートの隣に作ってから置き換えるため、"
                                 "出力先のフォルダーに書き込めなければなりません。");
    if (failure.hint == listgen::FailureHint::PartlyInPlace) {
        reason += QStringLiteral("\n次の新しいファイルは元に戻せず、置き換わっています:");
        for (const std::string& placed : failure.inPlace)
            reason += QStringLiteral("\n") + QString::fromStdString(listgen::displayText(placed));
    }
    switch (failure.action) {
    case listgen::RunAction::ListFolder:
        return QStringLiteral("フォルダー「%1」の中を一覧にできません。\n理由: %2").arg(path, reason);
    case listgen::RunAction::WriteOutput:
        return QStringLiteral("「%1」に書き込めません。\n理由: %2").arg(path, reason);
    case listgen::RunAction::SyncOutputFolder:
        return QStringLiteral("「%1」のフォルダーをディスクに書き込めたか確かめられません。\n理由: %2").arg(path, reason);
    case listgen::RunAction::SetUpDigest:
        return QStringLiteral("%1 の計算を準備できません。\n理由: %2").arg(path, reason);
    default:
        return QStringLiteral("「%1」を読み取れません。\n理由: %2").arg(path, reason);
    }
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
    const listgen::RunFailure failure =
        outcome.failure ? *outcome.failure : listgen::RunFailure{listgen::RunAction::Run, {}, listgen::RunError::Unexpected, {}, {}, {}};
    // After the rename only the folder's sync failed: the new report is there already.
    if (failure.hint == listgen::FailureHint::InPlaceButNotSynced)
        return QStringLiteral("新しいレポートに置き換えましたが、クラッシュすると失われるおそれがあります。\n\n") +
               failureDetail(failure);
    if (failure.hint == listgen::FailureHint::PartlyInPlace)
        return QStringLiteral("レポートを作成できませんでした。\n\n") + failureDetail(failure);
    return QStringLiteral("レポートを作成できませんでした。出力ファイルは変更していません。\n\n") + failureDetail(failure);
}

QString settingsSetAsideText(const QString& file, const QString& setAsideAs)
{
    return QStringLiteral("設定ファイル %1 は大きすぎるか通常のファイルではないため、読まずに %2 へ移し、新しく作り直します。")
        .arg(file, setAsideAs);
}

QString notHeldExactlyText(const QByteArray& path)
{
    const QString shown = shownPath(path);
    return QStringLiteral("「%1」の名前には UTF-8 でない文字が含まれているため、欄に正確に入れられません。"
                          "別のフォルダーやファイルと取り違えないように、受け付けませんでした。\n\n"
                          "このような名前はコマンドライン (vaskerel -i フォルダー -o ファイル) で扱えます。")
        .arg(shown);
}

QString overwriteText(const QString& path, const ExistingOutput& existing)
{
    const QString type = existing.type.isEmpty() ? QStringLiteral("不明") : existing.type;
    return QStringLiteral("「%1」はすでにあります。上書きしますか？\n\n種類: %2\n大きさ: %3\n\n"
                          "このツールが作ったレポートではないため、上書きすると今の内容は失われます。")
        .arg(shownPath(path), type, byteCountText(existing.size));
}

QString relativeOutputText(const QString& output, const QString& input)
{
    return QStringLiteral("出力「%1」は入力のフォルダーを起点にしますが、入力「%2」も / で始まっていないため、"
                          "どこに作るか決められません。入力か出力を / で始まるパスにしてください。")
        .arg(shownPath(output), shownPath(input));
}

QString dropRefusedText(DropRefusal why, const QByteArray& subject)
{
    switch (why) {
    case DropRefusal::SeveralItems:
        return QStringLiteral("複数の項目がドロップされました。どれを使うかは決められないため、欄は変えていません。"
                              "1 つだけドロップしてください。");
    case DropRefusal::NotLocal:
        return QStringLiteral("「%1」はこのコンピューターのファイルやフォルダーではないため、欄に入れられません。"
                              "ローカルのファイルやフォルダーをドロップしてください。")
            .arg(shownPath(subject));
    case DropRefusal::Folder:
        return QStringLiteral("「%1」はフォルダーです。出力にはファイルを指定してください。").arg(shownPath(subject));
    case DropRefusal::NotUtf8:
        break;
    }
    return notHeldExactlyText(subject);
}

QString noSuchFolderText(const QString& path)
{
    return QStringLiteral("フォルダー「%1」が見つかりません。").arg(shownPath(path));
}

QString settingsNotStoredText(const QString& file, const std::error_code& reason)
{
    return QStringLiteral("入力欄の内容を %1 に保存できませんでした。次に起動したときには元に戻りません。\n理由: %2")
        .arg(file, reasonText(reason));
}

QString cancelledText()
{
    return QStringLiteral("キャンセルしました。出力ファイルは変更していません。");
}

} // namespace vaskerel
