#include "window/field_drop.h"

#include "window/field_path.h"

#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>

#include <sys/stat.h>

#include <utility>

namespace vaskerel {

namespace {

bool isFolder(const QByteArray& path)
{
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QByteArray withoutEndSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QByteArray folderOf(const QByteArray& path)
{
    const QByteArray trimmed = withoutEndSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : trimmed.left(slash);
}

QByteArray nameOf(const QByteArray& path)
{
    const QByteArray trimmed = withoutEndSlashes(path);
    return trimmed.mid(trimmed.lastIndexOf('/') + 1);
}

bool isLocal(const QUrl& url)
{
    return url.isLocalFile() && (url.host().isEmpty() || url.host() == QLatin1String("localhost"));
}

QByteArray pathOf(const QUrl& url)
{
    // Decoded by hand: QUrl turns bytes that are not UTF-8 into U+FFFD, a path to somewhere else.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

// Takes a drop as a copy, or as a link where only that is offered; false when neither is. A
// move would let the file manager delete what it dragged once the field took its name.
bool acceptAsCopy(QDropEvent* event)
{
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

FieldDrop::Outcome refusal(DropRefusal why, QByteArray subject = {})
{
    return {{}, why, std::move(subject)};
}

FieldDrop::Outcome text(QString value)
{
    return {std::move(value), std::nullopt, {}};
}

} // namespace

FieldDrop::FieldDrop(QLineEdit* field, Gives gives)
    : QObject(field)
    , field_(field)
    , gives_(gives)
{
    field->installEventFilter(this);
}

FieldDrop::Outcome FieldDrop::examine(const QList<QUrl>& urls, const QString& dropped) const
{
    if (urls.size() > 1)
        return refusal(DropRefusal::SeveralItems);
    if (urls.size() == 1) {
        const QUrl& url = urls.constFirst();
        if (isLocal(url))
            return examinePath(pathOf(url));
        switch (gives_) {
        case Gives::Reference: return text(url.toString());
        case Gives::Name: return text(url.fileName().isEmpty() ? url.toString() : url.fileName());
        default: return refusal(DropRefusal::NotLocal, url.toString().toUtf8());
        }
    }
    QString line = dropped;
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
        return refusal(DropRefusal::SeveralItems);
    return text(line);
}

FieldDrop::Outcome FieldDrop::examinePath(QByteArray path) const
{
    if (gives_ == Gives::Folder && !isFolder(path))
        path = folderOf(path);
    if (gives_ == Gives::File && isFolder(path))
        return refusal(DropRefusal::Folder, path);
    const std::optional<QString> shown = fieldTextFor(gives_ == Gives::Name ? nameOf(path) : path);
    if (!shown)
        return refusal(DropRefusal::NotUtf8, path);
    return text(gives_ == Gives::Name ? *shown : QDir::cleanPath(*shown));
}

bool FieldDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->source() == field_)
            return false;
        const QMimeData* data = drag->mimeData();
        offeredUrls_ = data->hasUrls() ? data->urls() : QList<QUrl>();
        offeredText_ = data->hasText() ? data->text() : QString();
        // Taken even where it will be refused, so that the drop comes and the refusal says why.
        if (offeredUrls_.isEmpty() && offeredText_.isEmpty())
            drag->ignore();
        else
            acceptAsCopy(drag);
        return true;
    }
    case QEvent::DragLeave:
        offeredUrls_.clear();
        offeredText_.clear();
        return false;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->source() == field_)
            return false;
        take(drop);
        return true;
    }
    default:
        return false;
    }
}

void FieldDrop::take(QDropEvent* drop)
{
    const QMimeData* data = drop->mimeData();
    QList<QUrl> urls = data->hasUrls() ? data->urls() : QList<QUrl>();
    QString dropped = data->hasText() ? data->text() : QString();
    if (urls.isEmpty() && dropped.isEmpty()) {
        urls = std::exchange(offeredUrls_, {});
        dropped = std::exchange(offeredText_, {});
    }
    if (urls.isEmpty() && dropped.isEmpty()) {
        drop->ignore();
        return;
    }
    const Outcome outcome = examine(urls, dropped);
    if (outcome.refusal) {
        drop->ignore();
        emit refused(*outcome.refusal, outcome.subject);
        return;
    }
    if (!acceptAsCopy(drop))
        return;
    // Inserted over the whole text rather than set, so that Ctrl+Z takes the drop back.
    field_->selectAll();
    field_->insert(outcome.text);
    field_->selectAll();
    field_->setFocus(Qt::OtherFocusReason);
}

} // namespace vaskerel
