#pragma once

#include "window/path_drop.h"

#include <QByteArray>
#include <QObject>

class QDropEvent;
class QLineEdit;
class QMimeData;

namespace vaskerel {

// Lets a file manager drop a file onto a text field: the field takes the file's local path or
// its name, inserted where it is let go as any dropped text is, instead of a file:// address.
class TextDrop : public QObject {
    Q_OBJECT

public:
    enum class Gives { LocalPath, FileName };

    // Watches `field` for as long as the field lives.
    TextDrop(QLineEdit* field, Gives gives);

signals:
    // A file was dropped whose name the field cannot hold; nothing was inserted.
    void refused(const QByteArray& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Sends `event` on to the field as a drop of `text`; true when the field took it.
    bool forward(QDropEvent* event, const QString& text);

    QLineEdit* field_;
    Gives gives_;
    DragOffer offer_;
    bool forwarding_ = false;
};

} // namespace vaskerel
