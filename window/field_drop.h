#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class QDropEvent;
class QEvent;
class QLineEdit;

namespace vaskerel {

// Why a drop left a field as it was.
enum class DropRefusal {
    // Which of them was meant is not guessed.
    SeveralItems,
    // An address on another machine, where the run cannot read or write.
    NotLocal,
    // A folder where a file belongs.
    Folder,
    // A name that is not UTF-8: no field text leads there.
    NotUtf8,
};

// Lets a file manager, a browser or another field drop onto a field: the drop replaces the
// field's text, which shows selected, instead of being spliced into it where it is let go; or
// it is refused, with the reason. Text dragged within the field itself moves as in any field.
class FieldDrop : public QObject {
    Q_OBJECT

public:
    // What a field makes of a dropped file or folder.
    enum class Gives {
        // Its folder, for a file.
        Folder,
        // The file; a folder is refused.
        File,
        // Its path, or a web address as it is.
        Reference,
        // Its name.
        Name,
    };

    // What a drop gives the field: its new text, or why it has none.
    struct Outcome {
        QString text;
        std::optional<DropRefusal> refusal;
        // What was refused, for the words: a path as the file system holds it, or an address.
        QByteArray subject;
    };

    // Watches `field` for as long as the field lives.
    FieldDrop(QLineEdit* field, Gives gives);

    // What dropped `urls`, or else `text`, give the field.
    Outcome examine(const QList<QUrl>& urls, const QString& text) const;

signals:
    void refused(DropRefusal why, const QByteArray& subject);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Outcome examinePath(QByteArray path) const;
    void take(QDropEvent* drop);

    QLineEdit* field_;
    Gives gives_;
    // What the drag offered while it moved over the field, for a drop whose own data comes back
    // empty: some drag sources no longer hand it over once the button is let go.
    QList<QUrl> offeredUrls_;
    QString offeredText_;
};

} // namespace vaskerel
