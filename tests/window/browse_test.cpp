#include "window/frm_main.h"
#include "window/qt_file_dialog.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QLineEdit>

#include <gtest/gtest.h>

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

TEST(QtFileDialog, TranslatesDescriptionPatternPairs)
{
    EXPECT_EQ(vaskerel::QtFileDialog::qtFilters("All File(*.*)|*.*"), QStringList{"All File(*.*) (*.*)"});
    EXPECT_EQ(vaskerel::QtFileDialog::qtFilters("Html File(*.htm,*html)|*.htm;*html|Text|*.txt"),
              QStringList({"Html File(*.htm,*html) (*.htm *html)", "Text (*.txt)"}));
}
