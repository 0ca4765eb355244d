#include "window/qt_message_boxes.h"

#include "window/message_text.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
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

// Gives `box` its text as plain text, selectable and wrapped anywhere it must be.
void setText(QMessageBox& box, const QString& text)
{
    // Screen readers read the box's text; the text widget shows it.
    box.setAccessibleDescription(text);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        auto* shown = new MessageText(text, &box);
        replaceLabel(box, *grid, shown);
        // A box as short as "Done" would otherwise cut its own caption short.
        const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarAllowance;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    } else {
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
    }
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
    QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), QString(), QMessageBox::Ok, owner_);
    box.setWindowModality(Qt::ApplicationModal);
    setText(box, text);
    box.exec();
}

bool QtMessageBoxes::confirm(const QString& text, const QString& proceed)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kApplicationTitle), QString(), QMessageBox::NoButton, owner_);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* yes = box.addButton(proceed, QMessageBox::AcceptRole);
    yes->setObjectName(QStringLiteral("confirmProceed"));
    QPushButton* no = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    setText(box, text);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace vaskerel
