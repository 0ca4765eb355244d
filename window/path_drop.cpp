#include "window/path_drop.h"

#include "window/field_path.h"

#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>

#include <utility>

namespace vaskerel {

namespace {

bool isFolder(const QByteArray& path)
{
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QByteArray folderOf(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

} // namespace

bool acceptAsCopy(QDropEvent* event)
{
    // A move would let the file manager delete what it dragged once the field took its name.
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions().testFlag(action)) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    event->ignore();
    return false;
}

QByteArray droppedLocalPath(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
        return {};
    // Decoded by hand: QUrl turns bytes that are not UTF-8 into U+FFFD, a path to somewhere else.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

PathDrop::PathDrop(QLineEdit* field, Wants wants)
    : QObject(field)
    , field_(field)
    , wants_(wants)
{
    field->installEventFilter(this);
}

QByteArray DragOffer::pathIn(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        seen_ = droppedLocalPath(static_cast<QDropEvent*>(event)->mimeData());
        return seen_;
    case QEvent::Drop: {
        const QByteArray dropped = droppedLocalPath(static_cast<QDropEvent*>(event)->mimeData());
        return dropped.isEmpty() ? std::exchange(seen_, {}) : dropped;
    }
    case QEvent::DragLeave:
        seen_.clear();
        return {};
    default:
        return {};
    }
}

PathDrop::Dropped PathDrop::examine(QByteArray path) const
{
    if (path.isEmpty())
        return {};
    if (wants_ == Wants::Folder && !isFolder(path))
        path = folderOf(path);
    if (wants_ == Wants::File && isFolder(path))
        return {};
    const std::optional<QString> text = fieldTextFor(path);
    if (!text)
        return {Dropped::Kind::NotUtf8, {}, path};
    return {Dropped::Kind::Path, QDir::cleanPath(*text), {}};
}

bool PathDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return false;
    const QByteArray offered = offer_.pathIn(event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasUrls())
            return false;
        // Any address in the drop is ours to take or refuse, never to insert as text.
        if (examine(offered).kind != Dropped::Kind::Unfit)
            acceptAsCopy(drag);
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        const Dropped dropped = examine(offered);
        switch (dropped.kind) {
        case Dropped::Kind::Unfit:
            drop->ignore();
            return true;
        case Dropped::Kind::NotUtf8:
            drop->ignore();
            emit refused(dropped.bytes);
            return true;
        case Dropped::Kind::Path:
            if (acceptAsCopy(drop)) {
                field_->setText(dropped.text);
                field_->setFocus(Qt::OtherFocusReason);
            }
            return true;
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace vaskerel
