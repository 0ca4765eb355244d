#include "window/frm_main.h"
#include "window/qt_file_dialog.h"
#include "window/qt_japanese.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QApplication>
#include <QComboBox>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using vaskerel::FrmMain;

namespace {

class BrowseTest : public WindowTest {
protected:
    QString field(const char* name) { return window.findChild<QLineEdit*>(name)->text(); }
    void setField(const char* name, const QString& text) { window.findChild<QLineEdit*>(name)->setText(text); }

    testing_support::TempFolder tree;
    const QString root = QString::fromStdString(tree.path().string());
    FrmMain window{settings, dialog, boxes};
};

class QtFileDialogTest : public ::testing::Test {
protected:
    testing_support::TempFolder tree;
    const QString root = QString::fromStdString(tree.path().string());
};

} // namespace

TEST_F(BrowseTest, FolderBrowseKeepsTheFolderOfTheConfirmedPlaceholder)
{
    dialog.answers = {"/data/sub/___", "/___"};
    window.cmdDirBrowse_Click();
    EXPECT_EQ(field("txtDir"), "/data/sub");
    EXPECT_EQ(dialog.openedWith.constFirst(), "___");
    EXPECT_EQ(dialog.filters.constFirst(), "All File(*.*)|*.*");
    window.cmdDirBrowse_Click();
    EXPECT_EQ(field("txtDir"), "/");
}

TEST_F(BrowseTest, CancelLeavesTheFieldsAsTheyWere)
{
    setField("txtDir", "/kept");
    setField("txtPath", "/kept.htm");
    dialog.answers = {"", ""};
    window.cmdDirBrowse_Click();
    window.cmdPathBrowse_Click();
    EXPECT_EQ(field("txtDir"), "/kept");
    EXPECT_EQ(field("txtPath"), "/kept.htm");
}

TEST_F(BrowseTest, OutputBrowseOpensAtTheOutputOrTheLastOutputFolderNeverAtThePlaceholder)
{
    for (const char* name : {"in", "reports", "later"})
        std::filesystem::create_directories(tree / name);
    setField("txtDir", root + "/in");
    setField("txtPath", root + "/reports/old.htm");
    dialog.answers = {"", "", root + "/in/___", "", root + "/later/new.htm", "", ""};
    window.cmdDirBrowse_Click();
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith[1], root + "/reports/old.htm") << "a cancelled folder browse moved the output dialog";
    window.cmdDirBrowse_Click();
    setField("txtPath", "");
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith[3], root + "/in") << "with no output, the input folder";
    window.cmdPathBrowse_Click();
    EXPECT_EQ(field("txtPath"), root + "/later/new.htm");
    setField("txtPath", root + "/gone/x.htm");
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith[5], root + "/later") << "an output in a missing folder opens at the last output folder";
    EXPECT_EQ(field("txtPath"), root + "/gone/x.htm");
    EXPECT_EQ(dialog.defaultExts, QStringList({"", "htm", "", "htm", "htm", "htm"}));
    EXPECT_EQ(dialog.filters.constLast(), "Html File(*.htm,*html)|*.htm;*html");
    for (const int outputBrowse : {1, 3, 4, 5})
        EXPECT_FALSE(dialog.openedWith[outputBrowse].endsWith("___")) << dialog.openedWith[outputBrowse].toStdString();
}

TEST_F(BrowseTest, FirstOutputBrowseWithNothingGivenOpensAtHome)
{
    dialog.answers = {""};
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith, QStringList{QDir::homePath()});
}

TEST_F(BrowseTest, OutputBrowseAsksBeforeTakingAFileThatIsNoReportAndOpensAgainWhenDeclined)
{
    testing_support::writeFile(tree / "photo.jpg", "jpeg");
    dialog.answers = {root + "/photo.jpg", "", root + "/photo.jpg"};
    boxes.answers = {false, true};
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith.value(1), root + "/photo.jpg") << "declined, and not back in the dialog";
    EXPECT_EQ(field("txtPath"), "");
    window.cmdPathBrowse_Click();
    EXPECT_EQ(field("txtPath"), root + "/photo.jpg");
    // Agreed to once: 計算 does not ask again about the same file.
    setField("txtDir", root);
    window.cmdOK_Click();
    EXPECT_TRUE(window.generating());
    EXPECT_EQ(boxes.shown.size(), 2U) << boxes.said();
}

TEST_F(BrowseTest, ChosenFolderWhoseNameIsNotUtf8IsRefusedAndNamed)
{
    const std::string sjis = "\x83\x74\x83\x48\x83\x8b\x83\x5f"; // フォルダ in Shift_JIS
    std::filesystem::create_directories(tree / sjis);
    // What a Qt dialog hands back for it: the name read as UTF-8, each bad byte a U+FFFD.
    const QString asShown = QFile::decodeName(QByteArray::fromStdString(tree / sjis));
    setField("txtDir", "/kept");
    setField("txtPath", "/kept.htm");
    dialog.answers = {asShown + "/___", asShown + "/list.htm"};
    window.cmdDirBrowse_Click();
    window.cmdPathBrowse_Click();
    EXPECT_EQ(field("txtDir"), "/kept") << "the chosen folder was turned into another";
    EXPECT_EQ(field("txtPath"), "/kept.htm");
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_TRUE(boxes.said().starts_with("Warning: ")) << boxes.said();
    EXPECT_TRUE(boxes.shown[0].second.contains(root + "/") && boxes.shown[0].second.contains("UTF-8")) << boxes.said();
}

TEST_F(BrowseTest, FolderBrowseOpensInTheInputFolderOrWhereTheLastOneWent)
{
    std::filesystem::create_directories(tree / "typed");
    std::filesystem::create_directories(tree / "chosen");
    setField("txtDir", root + "/typed");
    dialog.answers = {root + "/chosen/___", ""};
    window.cmdDirBrowse_Click();
    setField("txtDir", root + "/gone");
    window.cmdDirBrowse_Click();
    EXPECT_EQ(dialog.openedWith, QStringList({root + "/typed/___", root + "/chosen/___"}));
    EXPECT_EQ(field("txtDir"), root + "/gone");
}

namespace {

QStringList comboTexts(const QComboBox& combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i)
        texts << combo.itemText(i);
    return texts;
}

} // namespace

TEST_F(QtFileDialogTest, ShowsTheFiltersAsGivenInJapaneseAndInTheStartFolder)
{
    const vaskerel::QtJapanese japanese;
    ASSERT_TRUE(japanese.loaded()) << "Qt's Japanese translation is missing (qt6-translations-l10n)";
    vaskerel::QtFileDialog dialog;
    dialog.Filter = "Html File(*.htm,*html)|*.htm;*html";
    dialog.FileName = root + "/___";
    QStringList fileTypes;
    QString folder;
    QStringList buttons;
    whenModalOpens<QFileDialog>([&](QFileDialog& shown) {
        if (const auto* combo = shown.findChild<QComboBox*>("fileTypeCombo"))
            fileTypes = comboTexts(*combo);
        folder = shown.directory().absolutePath();
        for (const QPushButton* button : shown.findChildren<QPushButton*>())
            buttons << button->text();
    });
    EXPECT_FALSE(dialog.ShowSave());
    EXPECT_EQ(fileTypes, QStringList{"Html File(*.htm,*html)"});
    EXPECT_EQ(folder, root);
    EXPECT_TRUE(buttons.contains("キャンセル")) << buttons.join(", ").toStdString();
    EXPECT_EQ(dialog.FileName, root + "/___") << "a cancel keeps what the dialog held";
}

TEST_F(QtFileDialogTest, BareNameGetsTheDefaultExtensionAndAFolderOpensWithoutAName)
{
    vaskerel::QtFileDialog dialog;
    dialog.Filter = "Html File(*.htm,*html)|*.htm;*html";
    dialog.DefaultExt = "htm";
    dialog.FileName = root;
    QString folder;
    QString nameShown = "unset";
    whenModalOpens<QFileDialog>([&](QFileDialog& shown) {
        folder = shown.directory().absolutePath();
        auto* name = shown.findChild<QLineEdit*>("fileNameEdit");
        if (name == nullptr)
            return;
        nameShown = name->text();
        // Typed as a user types it.
        name->selectAll();
        QTest::keyClicks(name, "report");
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(dialog.ShowSave());
    EXPECT_EQ(folder, root);
    EXPECT_EQ(nameShown, "");
    EXPECT_EQ(dialog.FileName, root + "/report.htm");
}

TEST_F(QtFileDialogTest, FolderBrowseTakesATypedFolderWithOrWithoutThePlaceholderAfterIt)
{
    std::filesystem::create_directories(tree / "typed folder");
    for (const QString& typed : {root + "/typed folder", root + "/typed folder___"}) {
        vaskerel::QtFileDialog dialog;
        dialog.Filter = "All File(*.*)|*.*";
        dialog.Placeholder = "___";
        dialog.FileName = root + "/___";
        whenModalOpens<QFileDialog>([&](QFileDialog& shown) {
            auto* name = shown.findChild<QLineEdit*>("fileNameEdit");
            if (name == nullptr)
                return;
            // Typed into the focused box, as on a desktop: the dialog follows the typing only there.
            QApplication::setActiveWindow(&shown);
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, typed);
            // The completion list, where it shows, has the keyboard, as on a desktop.
            QWidget* popup = name->completer() != nullptr ? name->completer()->popup() : nullptr;
            QTest::keyClick(popup != nullptr && popup->isVisible() ? popup : name, Qt::Key_Return);
        });
        ASSERT_TRUE(dialog.ShowSave()) << typed.toStdString();
        EXPECT_EQ(dialog.FileName, root + "/typed folder/___") << typed.toStdString();
    }
}
