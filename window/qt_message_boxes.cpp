#include "window/qt_message_boxes.h"

#include <QMessageBox>

namespace vaskerel {

QtMessageBoxes::QtMessageBoxes(QWidget* owner)
    : owner_(owner)
{
}

void QtMessageBoxes::show(Kind kind, const QString& text)
{
    const QMessageBox::Icon icon = kind == Kind::Error     ? QMessageBox::Critical
                                   : kind == Kind::Warning ? QMessageBox::Warning
                                                           : QMessageBox::NoIcon;
    QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, owner_);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace vaskerel
