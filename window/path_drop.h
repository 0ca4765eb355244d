#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLineEdit;
class QDropEvent;
class QEvent;
class QMimeData;

namespace vaskerel {

// The local path a drag offers, kept from its moves over a field for its drop: some drag
// sources no longer hand their data over once the button is let go.
class DragOffer {
public:
    // The path in `event`'s data, or the one seen while it moved; empty when neither names one.
    QByteArray pathIn(QEvent* event);

private:
    QByteArray seen_;
};

// Lets a file manager drop a folder or file onto a path field: the drop replaces the field with
// the local path instead of inserting a file:// address. Other text drops work as in any field.
class PathDrop : public QObject {
    Q_OBJECT

public:
    enum class Wants { Folder, File };

    // What a drop gives the field.
    struct Dropped {
        enum class Kind { Unfit, Path, NotUtf8 };
        Kind kind = Kind::Unfit;
        // The field's new text, for Path.
        QString text;
        // The path as the file system holds it, for NotUtf8: no field text leads there.
        QByteArray bytes;
    };

    // Watches `field` for as long as the field lives.
    PathDrop(QLineEdit* field, Wants wants);

    // What a drop of `path`, as the file system's bytes, gives the field.
    Dropped examine(QByteArray path) const;

signals:
    // A fitting path was dropped that the field cannot hold; it was left as it was.
    void refused(const QByteArray& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* field_;
    Wants wants_;
    // The path the drag over the field offered, for a drop whose own data comes back empty.
    DragOffer offer_;
};

// Takes a drop as a copy, or as a link where only that is offered; false when neither is.
bool acceptAsCopy(QDropEvent* event);

// The path of a local file or folder that a file manager's drop names, as the file system's
// bytes, or an empty array when the drop names none.
QByteArray droppedLocalPath(const QMimeData* data);

} // namespace vaskerel
