#include "window/frm_main.h"
#include "window/outcome_text.h"
#include "window/progress_dialog.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QProgressBar>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <memory>
#include <semaphore>
#include <string>

using namespace testing_support;
using vaskerel::FrmMain;
using vaskerel::ProgressDialog;

namespace {

class GenerateWindowTest : public WindowTest {
protected:
    void SetUp() override { writeFile(tree / "in/a.txt", "abc"); }

    QLineEdit* field(const char* name) const { return window->findChild<QLineEdit*>(name); }

    void fill(const std::string& input, const std::string& output)
    {
        field("txtDir")->setText(QString::fromStdString(input));
        field("txtPath")->setText(QString::fromStdString(output));
    }

    std::string stored(const char* key) const { return settings.GetSetting("Zorm", "Setting", key, "").toStdString(); }

    // Presses 計算 for these fields and waits for the run's end; false if it never came.
    bool generate(const std::string& input, const std::string& output)
    {
        fill(input, output);
        QSignalSpy finished(window.get(), &FrmMain::generateFinished);
        window->cmdOK_Click();
        return finished.wait(10000);
    }

    // A report of the input as it is, as an earlier run left it.
    void writeOldReport()
    {
        listgen::ListRequest request;
        request.inputDir = tree / "in";
        request.outputFile = tree / "out.htm";
        const std::atomic<bool> cancel{false};
        listgen::GenerateList(request, {}, cancel);
        oldReport = readFile(tree / "out.htm");
    }

    // Starts a run over a file too large to finish and waits for its progress dialog.
    ProgressDialog* startLongRun()
    {
        std::filesystem::remove(tree / "in/huge");
        writeOldReport();
        makeSparseFile(tree / "in/huge", 1LL << 40);
        fill(tree / "in", tree / "out.htm");
        window->show();
        window->cmdOK_Click();
        for (int waited = 0; waited < 3000; waited += 50) {
            QTest::qWait(50);
            if (auto* progress = window->findChild<ProgressDialog*>())
                return progress;
        }
        return nullptr;
    }

    static QString statusOf(ProgressDialog* progress) { return progress->findChild<QLabel*>("progressStatus")->text(); }

    void expectTheOldReportUntouched()
    {
        EXPECT_EQ(readFile(tree / "out.htm"), oldReport);
        EXPECT_EQ(namesIn(tree.path()), "in\nout.htm\n");
    }

    TempFolder tree;
    std::string oldReport;
    std::unique_ptr<FrmMain> window = std::make_unique<FrmMain>(settings, dialog, boxes);
};

} // namespace

TEST_F(GenerateWindowTest, EmptyFieldsWarnAndStartNothing)
{
    writeFile(tree / "out.htm", "old");
    fill("", tree / "out.htm");
    window->cmdOK_Click();
    fill(tree / "in", "");
    window->cmdOK_Click();
    EXPECT_EQ(boxes.said(), "Plain: 全部入力してください\nPlain: 全部入力してください\n");
    EXPECT_FALSE(window->generating());
    EXPECT_EQ(readFile(tree / "out.htm"), "old");
}

TEST_F(GenerateWindowTest, CompleteRunSaysDoneAndWritesTheReport)
{
    fill(tree / "in", tree / "out.htm");
    QSignalSpy finished(window.get(), &FrmMain::generateFinished);
    window->cmdOK_Click();
    EXPECT_TRUE(window->generating());
    EXPECT_FALSE(window->findChild<QPushButton*>("cmdOK")->isEnabled());
    EXPECT_FALSE(field("txtDir")->isEnabled());
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(boxes.said(), "Plain: Done\n");
    EXPECT_NE(readFile(tree / "out.htm").find("<a href=\"a.txt\">a.txt</a></td><td>3</td>"), std::string::npos);
    EXPECT_TRUE(window->findChild<QPushButton*>("cmdOK")->isEnabled());
}

TEST_F(GenerateWindowTest, TildeMeansTheHomeFolder)
{
    const QByteArray previous = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(tree.path().string()));
    const bool ended = generate("~/in", "~/out.htm");
    qputenv("HOME", previous);
    ASSERT_TRUE(ended);
    EXPECT_EQ(boxes.said(), "Plain: Done\n");
    EXPECT_NE(readFile(tree / "out.htm").find("a.txt"), std::string::npos);
}

TEST_F(GenerateWindowTest, FailureSaysInJapaneseWhatFailedWhereAndWhy)
{
    ASSERT_TRUE(generate(tree / "missing", tree / "out.htm"));
    ASSERT_TRUE(generate(tree / "in", tree / "no/such/out.htm"));
    const std::string notWritten = "Error: レポートを作成できませんでした。出力ファイルは変更していません。\n\n";
    EXPECT_EQ(boxes.said(), notWritten + "フォルダー「" + (tree / "missing") +
                                "」の中を一覧にできません。\n理由: No such file or directory\n" + notWritten + "「" +
                                (tree / "no/such/out.htm") + "」に書き込めません。\n理由: No such file or directory\n");
}

TEST_F(GenerateWindowTest, SystemReasonsComeInTheUsersLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "ja_JP.UTF-8") == nullptr)
        GTEST_SKIP() << "no ja_JP.UTF-8 locale here";
    const bool ended = generate(tree / "missing", tree / "out.htm");
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_TRUE(ended);
    EXPECT_TRUE(boxes.said().ends_with("理由: そのようなファイルやディレクトリはありません\n")) << boxes.said();
}

TEST_F(GenerateWindowTest, ProgressMovesDuringALargeFileAndEnterDoesNotCancel)
{
    ProgressDialog* progress = startLongRun();
    ASSERT_NE(progress, nullptr) << "no progress dialog within three seconds";
    EXPECT_TRUE(progress->isVisible());
    const QString before = statusOf(progress);
    EXPECT_TRUE(before.startsWith("処理済み: ファイル 0 個、")) << before.toStdString();

    auto* cancelButton = progress->findChild<QPushButton*>("progressCancel");
    ASSERT_NE(cancelButton, nullptr);
    EXPECT_EQ(cancelButton->text(), "キャンセル");
    cancelButton->setFocus();
    QTest::keyClick(cancelButton, Qt::Key_Return);
    QTest::keyClick(progress, Qt::Key_Enter);
    // The bytes move although the one file is far from read.
    const auto bytesLine = [&] { return statusOf(progress).section(QChar(u'\n'), 0, 0); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return bytesLine() != before.section(QChar(u'\n'), 0, 0); }, 60'000))
        << statusOf(progress).toStdString();
    EXPECT_TRUE(window->generating()) << "Enter threw the run away";
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(boxes.said(), "");
}

TEST_F(GenerateWindowTest, CancelOrEscStopsTheRunKeepsTheOldReportAndSaysSo)
{
    for (const bool useEsc : {false, true}) {
        boxes.shown.clear();
        ProgressDialog* progress = startLongRun();
        ASSERT_NE(progress, nullptr) << "no progress dialog within three seconds";
        QSignalSpy finished(window.get(), &FrmMain::generateFinished);
        if (useEsc)
            QTest::keyClick(progress, Qt::Key_Escape);
        else
            progress->findChild<QPushButton*>("progressCancel")->click();
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_EQ(boxes.said(), "Plain: " + vaskerel::cancelledText().toStdString() + "\n");
        EXPECT_EQ(window->findChild<ProgressDialog*>(), nullptr);
        expectTheOldReportUntouched();
    }
}

TEST_F(GenerateWindowTest, ProgressDialogIsGoneBeforeTheResultShows)
{
    ASSERT_NE(startLongRun(), nullptr) << "no progress dialog within three seconds";
    QSignalSpy finished(window.get(), &FrmMain::generateFinished);
    // Shrinking the file being read ends the run at once, with that file left out.
    std::filesystem::resize_file(tree / "in/huge", 0);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(boxes.said().starts_with("Warning: ")) << boxes.said();
    EXPECT_NE(boxes.said().find("huge: 読み取り中に変更されました"), std::string::npos) << boxes.said();
    EXPECT_FALSE(boxes.alongside[0].contains("progressDialog")) << boxes.alongside[0].join(", ").toStdString();
}

TEST_F(GenerateWindowTest, ClosingDuringARunStopsItKeepsTheReportAndSavesTheFields)
{
    field("txtTitle")->setText("題名");
    ASSERT_NE(startLongRun(), nullptr) << "no progress dialog within three seconds";
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->findChild<ProgressDialog*>(), nullptr);
    QTest::qWait(50);
    EXPECT_EQ(boxes.said(), "") << "a window closed by the user said something about its run";
    EXPECT_TRUE(window->endRun(std::chrono::seconds(10))) << "a run that stops when asked was left running";
    window.reset();
    expectTheOldReportUntouched();
    EXPECT_EQ(stored("inputDir") + "|" + stored("OutFile") + "|" + stored("Title"), (tree / "in") + "|" + (tree / "out.htm") + "|題名");
}

TEST_F(GenerateWindowTest, FieldsAndPlaceComeBackAtTheNextStartWithinTheScreen)
{
    field("txtCSS")->setText("style.css");
    field("txtTitle")->setText("タイトル");
    fill("/データ", "");
    window->move(120, 80);
    window->close();
    window = std::make_unique<FrmMain>(settings, dialog, boxes);
    QStringList texts;
    for (const char* name : {"txtDir", "txtPath", "txtCSS", "txtTitle"})
        texts << field(name)->text();
    EXPECT_EQ(texts, QStringList({"/データ", "", "style.css", "タイトル"}));
    EXPECT_EQ(window->pos(), QPoint(120, 80));

    // Stored on a larger screen than there is now.
    settings.SaveSetting("Zorm", "Window", "Left", "100000");
    settings.SaveSetting("Zorm", "Window", "Top", "-5000");
    window = std::make_unique<FrmMain>(settings, dialog, boxes);
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(window->geometry()));
}

TEST_F(GenerateWindowTest, WindowClosedLastKeepsWhatAnotherStoredInFieldsItLeftAlone)
{
    fill("/first", "/first.htm");
    window->close();
    auto other = std::make_unique<FrmMain>(settings, dialog, boxes);
    window = std::make_unique<FrmMain>(settings, dialog, boxes);
    other->findChild<QLineEdit*>("txtTitle")->setText("other's");
    other->close();
    field("txtDir")->setText("/mine");
    window->close();
    EXPECT_EQ(stored("inputDir") + "|" + stored("OutFile") + "|" + stored("Title"), "/mine|/first.htm|other's");
}

TEST_F(GenerateWindowTest, OnlyAReportOfOursIsReplacedWithoutAsking)
{
    const std::string photo = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00 a photo";
    writeFile(tree / "photo.jpg", photo);
    fill(tree / "in", tree / "photo.jpg");
    window->cmdOK_Click();
    EXPECT_FALSE(window->generating()) << "declined, and still run";
    EXPECT_EQ(readFile(tree / "photo.jpg"), photo);
    const std::string question = "Warning: 「" + (tree / "photo.jpg") + "」はすでにあります。上書きしますか？";
    EXPECT_TRUE(boxes.said().starts_with(question)) << boxes.said();

    boxes.answers = {true};
    ASSERT_TRUE(generate(tree / "in", tree / "photo.jpg"));
    EXPECT_TRUE(boxes.said().ends_with("\nPlain: Done\n")) << boxes.said();
    boxes.shown.clear();
    ASSERT_TRUE(generate(tree / "in", tree / "photo.jpg"));
    EXPECT_EQ(boxes.said(), "Plain: Done\n") << "a report of ours was asked about";

    // Edited by hand, it is no longer plainly ours.
    writeFile(tree / "photo.jpg", readFile(tree / "photo.jpg") + "<!-- notes -->\r\n");
    boxes.shown.clear();
    window->cmdOK_Click();
    EXPECT_FALSE(window->generating());
    EXPECT_TRUE(boxes.said().starts_with(question)) << boxes.said();
}

TEST_F(GenerateWindowTest, BareOutputNameGoesIntoTheInputFolderNeverTheWorkingFolder)
{
    ASSERT_TRUE(generate(tree / "in", "list.htm"));
    EXPECT_EQ(boxes.said(), "Plain: Done\n");
    const std::string report = readFile(tree / "in/list.htm");
    EXPECT_NE(report.find(">a.txt<"), std::string::npos);
    EXPECT_EQ(report.find("list.htm"), std::string::npos) << "the report lists itself";

    boxes.shown.clear();
    fill("in", "list.htm");
    window->cmdOK_Click();
    EXPECT_FALSE(window->generating());
    EXPECT_TRUE(boxes.said().starts_with("Warning: 出力「list.htm」は入力のフォルダーを起点にしますが")) << boxes.said();
}

TEST_F(GenerateWindowTest, CancelRightAsTheRunEndsGivesEitherTheNewReportOrTheOld)
{
    for (int attempt = 0; attempt < 30; ++attempt) {
        writeOldReport();
        fill(tree / "in", tree / "out.htm");
        boxes.shown.clear();
        QSignalSpy finished(window.get(), &FrmMain::generateFinished);
        window->cmdOK_Click();
        // Spread the cancel over the moments around the end of this short run.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(attempt * 200);
        while (std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents();
        window->cancelGenerate();
        ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
        const std::string report = readFile(tree / "out.htm");
        if (boxes.said() == "Plain: " + vaskerel::cancelledText().toStdString() + "\n") {
            EXPECT_EQ(report, oldReport);
        } else {
            EXPECT_EQ(boxes.said(), "Plain: Done\n");
            EXPECT_TRUE(report.ends_with("</body></html>\r\n"));
        }
        EXPECT_EQ(namesIn(tree.path()), "in\nout.htm\n");
        EXPECT_FALSE(window->generating());
    }
}

TEST_F(GenerateWindowTest, UnwritableSettingsStoreWarnsAndStillCloses)
{
    writeFile(config / "blocker", "a file where the settings folder should be");
    vaskerel::SettingsStore blocked(QString::fromStdString(config / "blocker/deeper"));
    auto frm = std::make_unique<FrmMain>(blocked, dialog, boxes);
    frm->show();
    EXPECT_TRUE(frm->close());
    EXPECT_TRUE(boxes.said().starts_with("Warning: 入力欄の内容を " + blocked.fileFor("Zorm").toStdString() +
                                         " に保存できませんでした"))
        << boxes.said();
    EXPECT_TRUE(boxes.said().ends_with("\n理由: " + std::string(std::strerror(ENOTDIR)) + "\n")) << boxes.said();
    EXPECT_FALSE(frm->isVisible());
}

TEST_F(GenerateWindowTest, CorruptSettingsFileIsRewrittenWithoutAWarning)
{
    fill("/data", "/data/list.htm");
    window->show();
    // Broken while the window was open, say by a hand edit.
    writeFile(config / "Zorm.ini", "\x01\xFF garbage [[[ = \n[Setting\n");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(boxes.said(), "");
    const std::string stored = readFile(config / "Zorm.ini");
    EXPECT_NE(stored.find("InputDir=/data\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("OutFile=/data/list.htm\n"), std::string::npos) << stored;
}

TEST_F(GenerateWindowTest, OversizedSettingsFileIsSetAsideWithOneWarningAndTheFieldsStillStored)
{
    window.reset();
    writeFile(config / "Zorm.ini", "[Setting]\nTitle=lost\n");
    makeSparseFile(config / "Zorm.ini", vaskerel::SettingsStore::kLargestFile * 12);
    window = std::make_unique<FrmMain>(settings, dialog, boxes);
    EXPECT_EQ(field("txtTitle")->text(), "");
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_TRUE(boxes.said().starts_with("Warning: ")) << boxes.said();
    EXPECT_NE(boxes.said().find(settings.fileFor("Zorm").toStdString() + ".set-aside"), std::string::npos) << boxes.said();
    field("txtTitle")->setText("kept");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(boxes.shown.size(), 1U);
    EXPECT_NE(readFile(config / "Zorm.ini").find("Title=kept"), std::string::npos);
}

namespace {

// A run stuck in a read that no cancel reaches, as on a stalled network or FUSE file system,
// until the test lets it go (or five seconds pass, so that a window that waits for it fails
// rather than hangs).
struct StuckRun {
    std::binary_semaphore stuck{0};
    std::counting_semaphore<> released{0};
};

FrmMain* windowWithAStuckRun(const std::shared_ptr<StuckRun>& run, vaskerel::SettingsStore& settings,
                             ScriptedDialog& dialog, RecordedBoxes& boxes)
{
    return new FrmMain(settings, dialog, boxes,
                       [run](const listgen::ListRequest&, const listgen::ProgressCallback&, const std::atomic<bool>&) {
                           run->stuck.release();
                           (void)run->released.try_acquire_for(std::chrono::seconds(5));
                           listgen::Outcome outcome;
                           outcome.status = listgen::Outcome::Status::Complete;
                           return outcome;
                       });
}

} // namespace

TEST_F(GenerateWindowTest, ClosingDuringAReadThatHangsStoresTheFieldsGoesAtOnceAndLeavesTheRun)
{
    using Clock = std::chrono::steady_clock;
    const auto stuck = std::make_shared<StuckRun>();
    window.reset(windowWithAStuckRun(stuck, settings, dialog, boxes));
    fill(tree / "in", tree / "out.htm");
    field("txtTitle")->setText("題名");
    window->show();
    window->cmdOK_Click();
    ASSERT_TRUE(stuck->stuck.try_acquire_for(std::chrono::seconds(5)));

    auto started = Clock::now();
    EXPECT_TRUE(window->close());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(1)) << "the window waited for the read";
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(stored("Title") + "|" + stored("OutFile"), "題名|" + (tree / "out.htm"));

    started = Clock::now();
    EXPECT_FALSE(window->endRun(std::chrono::milliseconds(100)));
    window.reset();
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(1)) << "the process would wait for the read";
    stuck->released.release();
    QTest::qWait(100);
    EXPECT_EQ(boxes.said(), "") << "a window closed by the user said something about its run";
}

TEST(ProgressDialog, BarHasANameForScreenReaders)
{
    QWidget owner;
    ProgressDialog progress(&owner, std::chrono::steady_clock::now());
    auto* bar = progress.findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Name).isEmpty());
}
