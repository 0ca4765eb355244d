#include "window/frm_main.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using vaskerel::FrmMain;

namespace {

struct ControlRow {
    const char* name;
    const char* className;
    const char* caption;
    QRect pixels;
    const char* parent;
};

// Positions in pixels at 15 twips per pixel; the Frame1 children measured from the frame.
const ControlRow kControls[] = {
    {"Label1", "QLabel", "入力:", {8, 8, 33, 17}, "frmMain"},
    {"txtDir", "QLineEdit", "", {48, 8, 281, 18}, "frmMain"},
    {"cmdDirBrowse", "QPushButton", "...", {336, 8, 25, 17}, "frmMain"},
    {"Label2", "QLabel", "出力:", {8, 40, 41, 17}, "frmMain"},
    {"txtPath", "QLineEdit", "", {48, 40, 281, 18}, "frmMain"},
    {"cmdPathBrowse", "QPushButton", "...", {336, 40, 25, 17}, "frmMain"},
    {"Frame1", "QGroupBox", "オブション", {7, 70, 289, 74}, "frmMain"},
    {"Label3", "QLabel", "スタイルシート:", {14, 21, 81, 17}, "Frame1"},
    {"txtCSS", "QLineEdit", "", {91, 16, 180, 18}, "Frame1"},
    {"Label4", "QLabel", "タイトル:", {14, 42, 64, 15}, "Frame1"},
    {"txtTitle", "QLineEdit", "", {91, 42, 180, 18}, "Frame1"},
    {"cmdOK", "QPushButton", "計算", {308, 112, 73, 25}, "frmMain"},
};

QString captionOf(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(control))
        return frame->title();
    return qobject_cast<const QLineEdit*>(control)->text();
}

class FrmMainTest : public WindowTest {
protected:
    FrmMain window{settings, dialog, boxes};
};

} // namespace

TEST_F(FrmMainTest, EveryControlSitsWhereTheLayoutSays)
{
    EXPECT_EQ(window.windowTitle(), "Vaskerel v.1.00(by Plumbrack)");
    EXPECT_EQ(window.objectName(), "frmMain");
    EXPECT_EQ(window.minimumSize(), QSize(391, 161));
    EXPECT_EQ(window.maximumSize(), QSize(391, 161));
    for (const ControlRow& row : kControls) {
        const auto* control = window.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(control, nullptr) << row.name;
        EXPECT_STREQ(control->metaObject()->className(), row.className) << row.name;
        EXPECT_EQ(captionOf(control), QString::fromUtf8(row.caption)) << row.name;
        EXPECT_EQ(control->geometry(), row.pixels) << row.name;
        EXPECT_EQ(control->parentWidget()->objectName(), row.parent) << row.name;
    }
}

TEST_F(FrmMainTest, InputLabelsAskForTheBoldGothicFace)
{
    for (const char* name : {"Label1", "Label2"}) {
        const QFont font = window.findChild<QLabel*>(name)->font();
        EXPECT_EQ(font.family(), "ＭＳ Ｐゴシック") << name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.75) << name;
        EXPECT_TRUE(font.bold()) << name;
    }
}

TEST_F(FrmMainTest, TabRunsThroughTheFieldsAndButtonsFromTheInputFolder)
{
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QStringList order;
    for (int step = 0; step < 8; ++step) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order.join(' '), "txtDir txtPath cmdDirBrowse cmdPathBrowse cmdOK txtCSS txtTitle txtDir");
}

TEST_F(FrmMainTest, EnterInAFieldPressesGenerate)
{
    window.show();
    QTest::keyClick(window.findChild<QLineEdit*>("txtTitle"), Qt::Key_Return);
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].second, "全部入力してください");
}
