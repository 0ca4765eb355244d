#include "window/path_drop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace vaskerel {

PathDrop::PathDrop(QLineEdit* field, Wants wants)
    : QObject(field)
    , field_(field)
    , wants_(wants)
{
    field->installEventFilter(this);
}

std::optional<QString> PathDrop::pathFrom(const QMimeData* data) const
{
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty())
        return std::nullopt;
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile())
        return std::nullopt;
    const QFileInfo dropped(QDir::cleanPath(url.toLocalFile()));
    if (wants_ == Wants::Folder)
        return dropped.isDir() ? dropped.filePath() : dropped.path();
    if (dropped.isDir())
        return std::nullopt;
    return dropped.filePath();
}

bool PathDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasUrls())
            return false;
        // Any address in the drop is ours to take or refuse, never to insert as text.
        if (pathFrom(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        const std::optional<QString> path = pathFrom(drop->mimeData());
        if (!path) {
            drop->ignore();
            return true;
        }
        field_->setText(*path);
        field_->setFocus(Qt::OtherFocusReason);
        drop->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

} // namespace vaskerel
