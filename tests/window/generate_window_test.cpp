#include "window/frm_main.h"
#include "window/outcome_text.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using testing_support::namesIn;
using testing_support::readFile;
using testing_support::writeFile;
using vaskerel::FrmMain;
using vaskerel::MessageBoxes;

namespace fs = std::filesystem;

namespace {

class GenerateWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        fs::create_directories(tree / "in");
        writeFile(tree / "in/a.txt", "abc");
    }

    void fill(const std::string& input, const std::string& output)
    {
        window->findChild<QLineEdit*>("txtDir")->setText(QString::fromStdString(input));
        window->findChild<QLineEdit*>("txtPath")->setText(QString::fromStdString(output));
    }

    testing_support::TempFolder tree;
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
    ASSERT_EQ(boxes.shown.size(), 2U);
    for (const auto& [kind, text] : boxes.shown) {
        EXPECT_EQ(kind, MessageBoxes::Kind::Plain);
        EXPECT_EQ(text, "全部入力してください");
    }
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
    EXPECT_FALSE(window->findChild<QLineEdit*>("txtDir")->isEnabled());
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].first, MessageBoxes::Kind::Plain);
    EXPECT_EQ(boxes.shown[0].second, "Done");
    EXPECT_NE(readFile(tree / "out.htm").find("<a href=\"a.txt\">a.txt</a></td><td>3</td>"), std::string::npos);
    EXPECT_TRUE(window->findChild<QPushButton*>("cmdOK")->isEnabled());
}

TEST(PartialReportText, SaysDoneCountsAndNamesTheFirstTen)
{
    listgen::Outcome outcome;
    for (int i = 0; i < 12; ++i)
        outcome.skipped.push_back({listgen::SkippedEntry::Kind::File, "/t/f" + std::to_string(i), "Permission denied"});
    outcome.skipped[0].path = "/t/bad\x01\xFF";
    const QString text = vaskerel::partialReportText(outcome);
    EXPECT_TRUE(text.startsWith("Done\n\n12 entries could not be read"));
    EXPECT_TRUE(text.contains("/t/bad\\x01\\xFF: Permission denied"));
    EXPECT_TRUE(text.contains("/t/f9: Permission denied"));
    EXPECT_FALSE(text.contains("/t/f10"));
    EXPECT_TRUE(text.endsWith("and 2 more"));
}

TEST_F(GenerateWindowTest, FailureNamesThePathAndTheReason)
{
    fill(tree / "missing", tree / "out.htm");
    QSignalSpy finished(window.get(), &FrmMain::generateFinished);
    window->cmdOK_Click();
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].first, MessageBoxes::Kind::Error);
    EXPECT_EQ(boxes.shown[0].second.toStdString(),
              "cannot list folder " + (tree / "missing") + ": No such file or directory");
}

TEST_F(GenerateWindowTest, CancelKeepsTheOldReport)
{
    testing_support::makeSparseFile(tree / "in/huge", 1LL << 40);
    writeFile(tree / "out.htm", "old");
    fill(tree / "in", tree / "out.htm");
    QSignalSpy finished(window.get(), &FrmMain::generateFinished);
    window->show();
    window->cmdOK_Click();
    QProgressDialog* progress = nullptr;
    for (int waited = 0; waited < 3000 && progress == nullptr; waited += 50) {
        QTest::qWait(50);
        progress = window->findChild<QProgressDialog*>();
    }
    ASSERT_NE(progress, nullptr) << "no progress dialog within three seconds";
    EXPECT_TRUE(progress->isVisible());
    auto* cancelButton = progress->findChild<QPushButton*>();
    ASSERT_NE(cancelButton, nullptr);
    EXPECT_EQ(cancelButton->text(), "Cancel");
    cancelButton->click();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(readFile(tree / "out.htm"), "old");
    EXPECT_EQ(namesIn(tree.path()), "in\nout.htm\n");
}

TEST_F(GenerateWindowTest, ClosingDuringARunStopsItKeepsTheReportAndSavesTheFields)
{
    testing_support::makeSparseFile(tree / "in/huge", 1LL << 40);
    writeFile(tree / "out.htm", "old");
    fill(tree / "in", tree / "out.htm");
    window->show();
    window->cmdOK_Click();
    QTest::qWait(100);
    EXPECT_TRUE(window->close());
    window.reset();
    EXPECT_EQ(readFile(tree / "out.htm"), "old");
    EXPECT_EQ(namesIn(tree.path()), "in\nout.htm\n");
    EXPECT_EQ(settings.GetSetting("Zorm", "Setting", "inputDir", "").toStdString(), tree / "in");
}

TEST_F(GenerateWindowTest, FieldsComeBackAtTheNextStart)
{
    window->findChild<QLineEdit*>("txtCSS")->setText("style.css");
    window->findChild<QLineEdit*>("txtTitle")->setText("タイトル");
    fill("/データ", "");
    window->close();
    window = std::make_unique<FrmMain>(settings, dialog, boxes);
    EXPECT_EQ(window->findChild<QLineEdit*>("txtDir")->text(), "/データ");
    EXPECT_EQ(window->findChild<QLineEdit*>("txtPath")->text(), "");
    EXPECT_EQ(window->findChild<QLineEdit*>("txtCSS")->text(), "style.css");
    EXPECT_EQ(window->findChild<QLineEdit*>("txtTitle")->text(), "タイトル");
}

TEST_F(GenerateWindowTest, CancelRightAsTheRunEndsGivesEitherTheNewReportOrTheOld)
{
    for (int attempt = 0; attempt < 30; ++attempt) {
        writeFile(tree / "out.htm", "old");
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
        if (boxes.shown.empty()) {
            EXPECT_EQ(report, "old");
        } else {
            ASSERT_EQ(boxes.shown.size(), 1U);
            EXPECT_EQ(boxes.shown[0].second, "Done");
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
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].first, MessageBoxes::Kind::Warning);
    EXPECT_TRUE(boxes.shown[0].second.startsWith("The fields could not be saved to "));
    EXPECT_FALSE(frm->isVisible());
}
