#include "window/outcome_text.h"

#include "listgen/common/system_error.h"
#include "window/progress_text.h"
#include "window/qt_message_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(PartialReportText, SaysDoneCountsAndNamesTheFirstTen)
{
    listgen::Outcome outcome;
    for (int i = 0; i < 12; ++i)
        outcome.skipped.push_back({listgen::SkippedEntry::Kind::File, "/t/f" + std::to_string(i), "Permission denied"});
    outcome.skipped[0].path = "/t/bad\x01\xFF";
    outcome.skipped[1].reason = "not a regular file";
    const QString text = vaskerel::partialReportText(outcome);
    EXPECT_TRUE(text.startsWith("Done\n\n読み取れなかった 12 件をレポートから除きました:\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\n/t/bad\\x01\\xFF: Permission denied\n"));
    EXPECT_TRUE(text.contains("\n/t/f1: 通常のファイルではありません\n"));
    EXPECT_TRUE(text.contains("/t/f9: Permission denied"));
    EXPECT_FALSE(text.contains("/t/f10"));
    EXPECT_TRUE(text.endsWith("\nほか 2 件"));
}

TEST(NotWrittenText, NamesThePathShownSafelyAndKeepsUnknownErrorsWhole)
{
    listgen::Outcome outcome;
    outcome.failure = listgen::RunFailure{"write", "/tmp/a: b\x1b.htm", listgen::RunError::NotARegularFile};
    EXPECT_TRUE(vaskerel::notWrittenText(outcome).endsWith(
        "「/tmp/a: b\\x1B.htm」に書き込めません。\n理由: 通常のファイルではありません"));
    outcome.failure.reset();
    outcome.error = "cannot start an MD5 digest";
    EXPECT_TRUE(vaskerel::notWrittenText(outcome).endsWith("\n\n内部エラー: cannot start an MD5 digest"));
}

TEST(ProgressText, CountsFilesAndBytesWithRateAndTimeTaken)
{
    EXPECT_EQ(vaskerel::byteCountText(0), "0 バイト");
    EXPECT_EQ(vaskerel::byteCountText(1023), "1023 バイト");
    EXPECT_EQ(vaskerel::byteCountText(1536), "1.5 KiB");
    EXPECT_EQ(vaskerel::byteCountText(3ULL << 30), "3.0 GiB");
    EXPECT_EQ(vaskerel::progressText({1, 3ULL << 30}, 2s),
              "処理済み: ファイル 1 個、3.0 GiB\n平均速度: 1.5 GiB/秒\n経過時間: 0:02");
    EXPECT_EQ(vaskerel::progressText({0, 0}, 0ms),
              "処理済み: ファイル 0 個、0 バイト\n平均速度: 0 バイト/秒\n経過時間: 0:00");
    EXPECT_TRUE(vaskerel::progressText({0, 0}, 3h + 4min + 5s).endsWith("経過時間: 3:04:05"));
}

namespace {

// Runs `inspect` on the first message box that opens, then closes it.
void whenTheBoxOpens(const std::function<void(QMessageBox&)>& inspect)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        inspect(*box);
        box->accept();
    });
    poll->start(20);
}

} // namespace

TEST(QtMessageBoxes, ShowTextAsPlainTextCaptionedWithTheApplication)
{
    vaskerel::QtMessageBoxes boxes;
    QString title;
    QStringList shownTexts;
    bool markupRendered = true;
    whenTheBoxOpens([&](QMessageBox& box) {
        title = box.windowTitle();
        for (const QLabel* label : box.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                shownTexts << label->text();
                markupRendered = label->textFormat() != Qt::PlainText;
            }
        }
    });
    boxes.show(vaskerel::MessageBoxes::Kind::Error, "「/tmp/<b>x</b><img src=/etc/y>」に書き込めません。");
    EXPECT_EQ(title, "Vaskerel");
    EXPECT_EQ(shownTexts, QStringList{"「/tmp/<b>x</b><img src=/etc/y>」に書き込めません。"});
    EXPECT_FALSE(markupRendered);
}
