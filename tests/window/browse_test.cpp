#include "window/frm_main.h"
#include "window/qt_file_dialog.h"
#include "window/qt_japanese.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using vaskerel::FrmMain;

namespace {

class BrowseTest : public WindowTest {
protected:
    QString field(const char* name) { return window.findChild<QLineEdit*>(name)->text(); }
    void setField(const char* name, const QString& text) { window.findChild<QLineEdit*>(name)->setText(text); }

    FrmMain window{settings, dialog, boxes};
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

TEST_F(BrowseTest, OutputBrowseOpensWithWhatTheLastBrowseLeft)
{
    dialog.answers = {"", "/data/___", "/data/list.htm", ""};
    window.cmdPathBrowse_Click();
    window.cmdDirBrowse_Click();
    window.cmdPathBrowse_Click();
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith, QStringList({"", "___", "/data/___", "/data/list.htm"}));
    EXPECT_EQ(dialog.filters.constLast(), "Html File(*.htm,*html)|*.htm;*html");
    EXPECT_EQ(field("txtPath"), "/data/list.htm");
}

TEST_F(BrowseTest, FolderBrowseOpensInTheInputFolderOrWhereTheLastOneWent)
{
    testing_support::TempFolder tree;
    const QString root = QString::fromStdString(tree.path().string());
    std::filesystem::create_directories(tree / "typed");
    std::filesystem::create_directories(tree / "chosen");
    setField("txtDir", root + "/typed");
    dialog.answers = {root + "/chosen/___", "", ""};
    window.cmdDirBrowse_Click();
    setField("txtDir", root + "/gone");
    window.cmdDirBrowse_Click();
    window.cmdPathBrowse_Click();
    EXPECT_EQ(dialog.openedWith,
              QStringList({root + "/typed/___", root + "/chosen/___", root + "/chosen/___"}));
    EXPECT_EQ(field("txtDir"), root + "/gone");
}

namespace {

// Runs `inspect` on the first file dialog that opens, then cancels it.
void whenTheFileDialogOpens(const std::function<void(QFileDialog&)>& inspect)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto* fileDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (fileDialog == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        inspect(*fileDialog);
        fileDialog->reject();
    });
    poll->start(20);
}

QStringList comboTexts(const QComboBox& combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i)
        texts << combo.itemText(i);
    return texts;
}

} // namespace

TEST(QtFileDialog, ShowsTheFiltersAsGivenInJapaneseAndInTheStartFolder)
{
    testing_support::TempFolder tree;
    const QString root = QString::fromStdString(tree.path().string());
    const vaskerel::QtJapanese japanese;
    ASSERT_TRUE(japanese.loaded()) << "Qt's Japanese translation is missing (qt6-translations-l10n)";
    vaskerel::QtFileDialog dialog;
    dialog.Filter = "Html File(*.htm,*html)|*.htm;*html";
    dialog.FileName = root + "/___";
    QStringList fileTypes;
    QString folder;
    QStringList buttons;
    whenTheFileDialogOpens([&](QFileDialog& shown) {
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
