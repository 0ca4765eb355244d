#include "window/outcome_text.h"

#include "listgen/common/system_error.h"
#include "window/progress_text.h"
#include "window/qt_message_boxes.h"

#include "window_fakes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(PartialReportText, SaysDoneCountsAndNamesTheFirstTen)
{
    listgen::Outcome outcome;
    for (int i = 0; i < 12; ++i)
        outcome.skipped.push_back(
            {listgen::SkippedEntry::Kind::File, "/t/f" + std::to_string(i), std::make_error_code(std::errc::permission_denied)});
    outcome.skipped[0].path = "/t/bad\x01\xFF";
    outcome.skipped[1].reason = listgen::RunError::NotARegularFile;
    const QString text = vaskerel::partialReportText(outcome);
    EXPECT_TRUE(text.startsWith("Done\n\n読み取れなかった 12 件をレポートから除きました:\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\n/t/bad\\x01\\xFF: Permission denied\n"));
    EXPECT_TRUE(text.contains("\n/t/f1: 通常のファイルではありません\n"));
    EXPECT_TRUE(text.contains("/t/f9: Permission denied"));
    EXPECT_FALSE(text.contains("/t/f10"));
    EXPECT_TRUE(text.endsWith("\nほか 2 件"));
}

TEST(PartialReportText, EveryCauseOfTheToolHasJapaneseWords)
{
    for (int value = static_cast<int>(listgen::RunError::NotARegularFile);
         value <= static_cast<int>(listgen::RunError::Unexpected); ++value) {
        listgen::Outcome outcome;
        outcome.skipped.push_back({listgen::SkippedEntry::Kind::File, "/t/f", static_cast<listgen::RunError>(value)});
        const QString text = vaskerel::partialReportText(outcome);
        EXPECT_FALSE(text.contains("不明なエラーです")) << value;
        EXPECT_FALSE(text.contains(QString::fromStdString(outcome.skipped[0].reason.message()))) << value;
    }
}

TEST(NotWrittenText, NamesThePathShownSafelyAndKeepsUnknownErrorsWhole)
{
    listgen::Outcome outcome;
    outcome.failure = listgen::RunFailure{listgen::RunAction::WriteOutput, "/tmp/a: b\x1b.htm", listgen::RunError::NotARegularFile, {}, {}, {}};
    EXPECT_TRUE(vaskerel::notWrittenText(outcome).endsWith(
        "「/tmp/a: b\\x1B.htm」に書き込めません。\n理由: 通常のファイルではありません"));
    outcome.failure = listgen::RunFailure{listgen::RunAction::Run, "/r/out.htm", listgen::RunError::Unexpected,
                                          listgen::FailureHint::None, "cannot start an MD5 digest", {}};
    EXPECT_TRUE(vaskerel::notWrittenText(outcome).endsWith("\n\n内部エラー: cannot start an MD5 digest"));
}

TEST(NotWrittenText, ReadOnlyReportSaysSoAndNotThatTheFolderMustBeWritable)
{
    const QString folderSentence = "出力先のフォルダーに書き込めなければなりません";
    listgen::Outcome outcome;
    outcome.failure = listgen::RunFailure{listgen::RunAction::WriteOutput, "/r/out.htm", listgen::RunError::ReportReadOnly, {}, {}, {}};
    const QString readOnly = vaskerel::notWrittenText(outcome);
    EXPECT_TRUE(readOnly.endsWith("「/r/out.htm」に書き込めません。\n理由: レポートが読み取り専用です"))
        << readOnly.toStdString();
    EXPECT_FALSE(readOnly.contains(folderSentence));
    outcome.failure = listgen::RunFailure{listgen::RunAction::WriteOutput, "/r/out.htm",
                                          std::make_error_code(std::errc::permission_denied),
                                          listgen::FailureHint::OutputFolderMustBeWritable, {}, {}};
    EXPECT_TRUE(vaskerel::notWrittenText(outcome).contains(folderSentence));
}

TEST(ProgressText, CountsFilesAndBytesWithBothRatesAndTimeTaken)
{
    // Many small files: a rate in bytes alone reads as slow.
    EXPECT_EQ(vaskerel::progressText({24000, 168ULL << 10}, 750ms),
              "処理済み: ファイル 24000 個、168.0 KiB\n平均速度: 224.0 KiB/秒、ファイル 32000 個/秒\n経過時間: 0:00");
    EXPECT_TRUE(vaskerel::progressText({1, 3ULL << 30}, 2s).contains("平均速度: 1.5 GiB/秒、ファイル 0.5 個/秒"));
    EXPECT_TRUE(vaskerel::progressText({0, 0}, 0ms).contains("平均速度: 0 バイト/秒、ファイル 0 個/秒"));
    EXPECT_TRUE(vaskerel::progressText({0, 0}, 3h + 4min + 5s).endsWith("経過時間: 3:04:05"));
}

TEST(QtMessageBoxes, ShowTextAsPlainTextCaptionedWithTheApplication)
{
    vaskerel::QtMessageBoxes boxes;
    QString title;
    QString shownText;
    QString html;
    QStringList labelTexts;
    whenModalOpens<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        if (const auto* view = box.findChild<QTextEdit*>("messageText")) {
            shownText = view->toPlainText();
            html = view->toHtml();
        }
        for (const QLabel* label : box.findChildren<QLabel*>()) {
            if (label->isVisible() && !label->text().isEmpty())
                labelTexts << label->text();
        }
    });
    boxes.show(vaskerel::MessageBoxes::Kind::Error, "「/tmp/<b>x</b><img src=/etc/y>」に書き込めません。");
    EXPECT_EQ(title, "Vaskerel");
    EXPECT_EQ(shownText, "「/tmp/<b>x</b><img src=/etc/y>」に書き込めません。");
    EXPECT_FALSE(html.contains("<img")) << "a name was read as markup";
    EXPECT_TRUE(labelTexts.isEmpty()) << labelTexts.join(", ").toStdString();
}

TEST(QtMessageBoxes, LongNameWrapsAnywhereAndShowsWhole)
{
    vaskerel::QtMessageBoxes boxes;
    const QString text = "「/data/" + QString(200, 'a') + "/my_report.htm」に書き込めません。";
    QRect box;
    QRect shown;
    QString selectable;
    int lines = 0;
    whenModalOpens<QMessageBox>([&](QMessageBox& opened) {
        box = opened.rect();
        const auto* view = opened.findChild<QTextEdit*>("messageText");
        if (view == nullptr || !view->isVisible())
            return;
        shown = QRect(view->mapTo(&opened, QPoint(0, 0)), view->size());
        selectable = view->toPlainText();
        for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
            lines += block.layout()->lineCount();
    });
    boxes.show(vaskerel::MessageBoxes::Kind::Error, text);
    EXPECT_EQ(selectable, text);
    EXPECT_GE(lines, 3) << "the long name was not wrapped";
    EXPECT_TRUE(box.contains(shown)) << "the text reaches past the box's edge";
}
