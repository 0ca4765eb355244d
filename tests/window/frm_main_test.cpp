#include "window/frm_main.h"
#include "window/settings_store.h"

#include "temp_folder.h"
#include "window_fakes.h"

#include <QAccessible>
#include <QApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

using vaskerel::FrmMain;

namespace {

class FrmMainTest : public WindowTest {
protected:
    QLineEdit* field(const char* name) { return window.findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(name); }

    void showActive()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Sends what a file manager sends when a drag enters the field and is let go (with `released`
    // as what the source still serves then, if given); true when the field took the drop.
    bool drop(QLineEdit* target, QMimeData& data, Qt::DropActions actions = Qt::CopyAction, QMimeData* released = nullptr)
    {
        const QPoint middle = target->rect().center();
        QDragEnterEvent enter(middle, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent release(QPointF(middle), actions, released != nullptr ? released : &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &release);
        lastDropAction = release.dropAction();
        return release.isAccepted();
    }

    bool dropUrl(QLineEdit* target, const QUrl& url, Qt::DropActions actions = Qt::CopyAction)
    {
        QMimeData data;
        data.setUrls({url});
        data.setText(url.toString());
        return drop(target, data, actions);
    }

    Qt::DropAction lastDropAction = Qt::IgnoreAction;
    testing_support::TempFolder tree;

    FrmMain window{settings, dialog, boxes};
};

QString accessibleName(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

TEST_F(FrmMainTest, TabRunsThroughTheFieldsAndButtonsFromTheInputFolder)
{
    showActive();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QStringList order;
    for (int step = 0; step < 8; ++step) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order.join(' '), "txtDir txtPath cmdDirBrowse cmdPathBrowse cmdOK txtCSS txtTitle txtDir");
}

TEST_F(FrmMainTest, EnterPressesTheFocusedButtonAndElseGenerate)
{
    showActive();
    QTest::keyClick(field("txtTitle"), Qt::Key_Return);
    EXPECT_EQ(boxes.said(), "Plain: 全部入力してください\n");

    button("cmdDirBrowse")->setFocus();
    QTest::keyClick(button("cmdDirBrowse"), Qt::Key_Return);
    button("cmdPathBrowse")->setFocus();
    QTest::keyClick(button("cmdPathBrowse"), Qt::Key_Enter);
    EXPECT_EQ(dialog.filters, QStringList({"All File(*.*)|*.*", "Html File(*.htm,*html)|*.htm;*html"}));
    EXPECT_EQ(boxes.shown.size(), 1U) << "a browse button's Enter also pressed 計算";

    button("cmdOK")->setFocus();
    QTest::keyClick(button("cmdOK"), Qt::Key_Return);
    EXPECT_EQ(boxes.shown.size(), 2U);
}

TEST_F(FrmMainTest, ScreenReadersHearWhatEachControlIsFor)
{
    EXPECT_EQ(accessibleName(field("txtDir")), "入力:");
    EXPECT_EQ(accessibleName(field("txtPath")), "出力:");
    EXPECT_EQ(accessibleName(field("txtCSS")), "スタイルシート:");
    EXPECT_EQ(accessibleName(field("txtTitle")), "タイトル:");
    const QString folderBrowse = accessibleName(button("cmdDirBrowse"));
    const QString fileBrowse = accessibleName(button("cmdPathBrowse"));
    EXPECT_NE(folderBrowse, "...");
    EXPECT_NE(fileBrowse, "...");
    EXPECT_NE(folderBrowse, fileBrowse);
    EXPECT_EQ(button("cmdDirBrowse")->text(), "...");
}

TEST_F(FrmMainTest, OptionCaptionSitsOnTheFrameLineAndNoFieldCrossesIt)
{
    auto* frame = window.findChild<QGroupBox*>("Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "オブション");
    QImage image(frame->size(), QImage::Format_RGB32);
    image.fill(frame->palette().window().color());
    frame->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);

    // The top line, found right of the caption where nothing else is drawn.
    const int column = frame->width() * 3 / 4;
    const QRgb background = image.pixel(column, 0);
    int lineRow = -1;
    for (int row = 0; row < image.height() && lineRow < 0; ++row) {
        if (image.pixel(column, row) != background)
            lineRow = row;
    }
    ASSERT_GT(lineRow, 0) << "no top frame line, or one at the very top above the caption";

    int captionTop = -1;
    int captionBottom = -1;
    const int captionWidth = frame->fontMetrics().horizontalAdvance(frame->title());
    for (int row = 0; row < image.height() / 2; ++row) {
        for (int x = 8; x < 8 + captionWidth / 2; ++x) {
            if (qGray(image.pixel(x, row)) < qGray(background) - 80) {
                captionTop = captionTop < 0 ? row : captionTop;
                captionBottom = row;
            }
        }
    }
    EXPECT_LT(captionTop, lineRow) << "the caption does not reach above the frame line";
    EXPECT_GT(captionBottom, lineRow) << "the caption does not reach below the frame line";
    for (const QWidget* control : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_GT(control->y(), lineRow) << control->objectName().toStdString() << " crosses the frame line";
}

TEST_F(FrmMainTest, DropReplacesTheFilledFieldWhollyOrSaysWhyItDidNot)
{
    testing_support::writeFile(tree / "in/sub/a b.txt", "a");
    const QString in = QString::fromStdString(tree / "in");
    const QUrl file = QUrl::fromLocalFile(in + "/sub/a b.txt");
    const QUrl folder = QUrl::fromLocalFile(in + "/sub");
    const QString kept = "月次報告 2026";
    const struct {
        const char* field;
        QList<QUrl> urls;
        QString text;
        // The field's text after the drop, and the start of what a refusal says.
        QString after;
        QString said;
    } drops[] = {
        {"txtDir", {folder}, {}, in + "/sub", {}},
        {"txtDir", {file}, {}, in + "/sub", {}},
        {"txtPath", {file}, {}, in + "/sub/a b.txt", {}},
        {"txtCSS", {file}, {}, in + "/sub/a b.txt", {}},
        {"txtCSS", {QUrl("https://example.com/site.css")}, {}, "https://example.com/site.css", {}},
        {"txtTitle", {file}, {}, "a b.txt", {}},
        {"txtTitle", {}, "写真\n", "写真", {}},
        {"txtPath", {folder}, {}, kept, "「" + in + "/sub」はフォルダーです"},
        {"txtDir", {QUrl("sftp://host/data")}, {}, kept, "「sftp://host/data」はこのコンピューターの"},
        {"txtPath", {QUrl("smb://nas/share/list.htm")}, {}, kept, "「smb://nas/share/list.htm」はこのコンピューターの"},
        {"txtPath", {QUrl("http://example.com/list.htm")}, {}, kept, "「http://example.com/list.htm」はこのコンピューターの"},
        {"txtDir", {folder, file}, {}, kept, "複数の項目"},
        {"txtTitle", {file, folder}, {}, kept, "複数の項目"},
        {"txtTitle", {}, "一行目\n二行目", kept, "複数の項目"},
    };
    for (const auto& row : drops) {
        SCOPED_TRACE(std::string(row.field) + " <- " + (row.urls.isEmpty() ? row.text : row.urls[0].toString()).toStdString());
        QLineEdit* target = field(row.field);
        target->setText(kept);
        target->setCursorPosition(3);
        boxes.shown.clear();
        QMimeData data;
        data.setUrls(row.urls);
        if (!row.text.isEmpty())
            data.setText(row.text);
        EXPECT_EQ(drop(target, data), row.said.isEmpty());
        QCoreApplication::processEvents();
        EXPECT_EQ(target->text(), row.after);
        if (row.said.isEmpty()) {
            EXPECT_EQ(target->selectedText(), row.after) << "the whole value is not selected";
            EXPECT_EQ(target->cursorPosition(), row.after.size());
            EXPECT_EQ(boxes.said(), "");
        } else {
            EXPECT_TRUE(boxes.said().starts_with("Warning: " + row.said.toStdString())) << boxes.said();
        }
    }
}

namespace {

// A file manager's address for a path in the file system's bytes, each byte past ASCII escaped.
QUrl fileUrl(const std::string& path)
{
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

} // namespace

TEST_F(FrmMainTest, DroppedFolderWhoseNameIsNotUtf8IsRefusedAndNamedNeverItsParent)
{
    const std::string sjis = tree / "\x83\x74\x83\x48\x83\x8b\x83\x5f"; // フォルダ in Shift_JIS
    std::filesystem::create_directories(sjis + "/sub");
    testing_support::writeFile(sjis + "/a.txt", "a");
    for (const char* name : {"txtDir", "txtPath", "txtCSS", "txtTitle"})
        field(name)->setText("kept");

    EXPECT_FALSE(dropUrl(field("txtDir"), fileUrl(sjis)));
    EXPECT_FALSE(dropUrl(field("txtDir"), fileUrl(sjis + "/a.txt"))) << "a file gave its folder, which has no field text";
    EXPECT_FALSE(dropUrl(field("txtPath"), fileUrl(sjis + "/a.txt")));
    EXPECT_FALSE(dropUrl(field("txtCSS"), fileUrl(sjis + "/a.txt")));
    QCoreApplication::processEvents();
    for (const char* name : {"txtDir", "txtPath", "txtCSS"})
        EXPECT_EQ(field(name)->text(), "kept") << name;
    ASSERT_EQ(boxes.shown.size(), 4U);
    EXPECT_TRUE(boxes.said().starts_with("Warning: 「" + tree / "\\x83t\\x83H\\x83\\x8B\\x83_」")) << boxes.said();

    // A folder of such a name may still hold a folder with a fitting name: its path is not fitting.
    EXPECT_FALSE(dropUrl(field("txtDir"), fileUrl(sjis + "/sub")));
    // A file whose own name is not UTF-8, in a fitting folder, gives that folder.
    testing_support::writeFile(tree / "\x82\xa0.txt", "b");
    EXPECT_TRUE(dropUrl(field("txtDir"), fileUrl(tree / "\x82\xa0.txt")));
    EXPECT_EQ(field("txtDir")->text().toStdString(), tree.path().string());
}

TEST_F(FrmMainTest, DropsAreTakenAsCopiesSoTheFileManagerKeepsWhatItDragged)
{
    testing_support::writeFile(tree / "a.htm", "a");
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(tree / "a.htm"));
    EXPECT_TRUE(dropUrl(field("txtPath"), url, Qt::CopyAction | Qt::MoveAction));
    EXPECT_EQ(lastDropAction, Qt::CopyAction);
    EXPECT_TRUE(dropUrl(field("txtTitle"), url, Qt::CopyAction | Qt::MoveAction));
    EXPECT_EQ(lastDropAction, Qt::CopyAction);
    field("txtPath")->setText("kept");
    EXPECT_FALSE(dropUrl(field("txtPath"), url, Qt::MoveAction));
    EXPECT_EQ(field("txtPath")->text(), "kept");
}

TEST_F(FrmMainTest, DropWhoseSourceNoLongerServesItsDataTakesThePathItOffered)
{
    std::filesystem::create_directories(tree / "offered");
    QMimeData offered;
    offered.setUrls({QUrl::fromLocalFile(QString::fromStdString(tree / "offered"))});
    QMimeData gone;
    gone.setData("text/uri-list", QByteArray());
    EXPECT_TRUE(drop(field("txtDir"), offered, Qt::CopyAction, &gone));
    EXPECT_EQ(field("txtDir")->text().toStdString(), tree / "offered");
}
