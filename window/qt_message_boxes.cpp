#include "window/qt_message_boxes.h"

#include "window/message_text.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpacerItem>

namespace vaskerel {

namespace {

// Room beside the caption for the icon and buttons that a window manager puts in a title bar.
constexpr int kTitleBarAllowance = 160;

// Puts `text` where the box's own label was: a label cuts off a long name it cannot wrap.
void replaceLabel(QMessageBox& box, QGridLayout& grid, MessageText* text)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const int index = label != nullptr ? grid.indexOf(label) : -1;
    int row = 0;
    int column = 1;
    int rowSpan = 1;
    int columnSpan = 1;
    if (index >= 0) {
        grid.getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        grid.removeWidget(label);
        label->hide();
    }
    grid.addWidget(text, row, column, rowSpan, columnSpan);
}

} // namespace

QtMessageBoxes::QtMessageBoxes(QWidget* owner)
    : owner_(owner)
{
}

void QtMessageBoxes::show(Kind kind, const QString& text)
{
    const QMessageBox::Icon icon = kind == Kind::Error     ? QMessageBox::Critical
                                   : kind == Kind::Warning ? QMessageBox::Warning
                                                           : QMessageBox::NoIcon;
    const QString caption = QString::fromUtf8(kApplicationTitle);
    QMessageBox box(icon, caption, QString(), QMessageBox::Ok, owner_);
    box.setWindowModality(Qt::ApplicationModal);
    // Screen readers read the box's text; the text widget shows it.
    box.setAccessibleDescription(text);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        auto* shown = new MessageText(text, &box);
        replaceLabel(box, *grid, shown);
        // A box as short as "Done" would otherwise cut its own caption short.
        const int width = box.fontMetrics().horizontalAdvance(caption) + kTitleBarAllowance;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    } else {
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
    }
    box.exec();
}

} // namespace vaskerel
