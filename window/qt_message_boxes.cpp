#include "window/qt_message_boxes.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace vaskerel {

namespace {

// Room beside the caption for the icon and buttons that a window manager puts in a title bar.
constexpr int kTitleBarAllowance = 160;

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
    // Paths are shown as they are: a name such as <b>x</b> is no markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowModality(Qt::ApplicationModal);
    // A box as short as "Done" would otherwise cut its own caption short.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = box.fontMetrics().horizontalAdvance(caption) + kTitleBarAllowance;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    box.exec();
}

} // namespace vaskerel
