#include "window/text_drop.h"

#include "window/field_path.h"
#include "window/path_drop.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>

#include <optional>

namespace vaskerel {

TextDrop::TextDrop(QLineEdit* field, Gives gives)
    : QObject(field)
    , field_(field)
    , gives_(gives)
{
    field->installEventFilter(this);
}

bool TextDrop::forward(QDropEvent* event, const QString& text)
{
    QMimeData plain;
    plain.setText(text);
    const Qt::DropActions actions = event->possibleActions() & (Qt::CopyAction | Qt::LinkAction);
    if (actions == Qt::IgnoreAction)
        return false;
    const QPoint at = event->position().toPoint();
    forwarding_ = true;
    bool taken = false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        QDragEnterEvent enter(at, actions, &plain, event->buttons(), event->modifiers());
        QCoreApplication::sendEvent(field_, &enter);
        taken = enter.isAccepted();
        break;
    }
    case QEvent::DragMove: {
        QDragMoveEvent move(at, actions, &plain, event->buttons(), event->modifiers());
        QCoreApplication::sendEvent(field_, &move);
        taken = move.isAccepted();
        break;
    }
    default: {
        QDropEvent drop(event->position(), actions, &plain, event->buttons(), event->modifiers());
        QCoreApplication::sendEvent(field_, &drop);
        taken = drop.isAccepted();
        break;
    }
    }
    forwarding_ = false;
    return taken;
}

bool TextDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_ || forwarding_)
        return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::DragLeave)
        offer_.pathIn(event);
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QByteArray path = offer_.pathIn(event);
    if (path.isEmpty())
        return false;
    const std::optional<QString> text = fieldTextFor(path);
    if (!text) {
        // Let it land, to say why nothing was inserted.
        if (type != QEvent::Drop)
            acceptAsCopy(drop);
        else {
            drop->ignore();
            emit refused(path);
        }
        return true;
    }
    const QString inserted = gives_ == Gives::FileName ? QDir(QDir::cleanPath(*text)).dirName() : QDir::cleanPath(*text);
    if (forward(drop, inserted))
        acceptAsCopy(drop);
    else
        drop->ignore();
    return true;
}

} // namespace vaskerel
