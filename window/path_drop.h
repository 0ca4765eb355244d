#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QLineEdit;
class QMimeData;

namespace vaskerel {

// Lets a file manager drop a folder or file onto a path field: the drop replaces the field with
// the local path instead of inserting a file:// address. Other text drops work as in any field.
class PathDrop : public QObject {
    Q_OBJECT

public:
    enum class Wants { Folder, File };

    // Watches `field` for as long as the field lives.
    PathDrop(QLineEdit* field, Wants wants);

    // The path a drop gives this field, or none when the drop carries no fitting local path.
    std::optional<QString> pathFrom(const QMimeData* data) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* field_;
    Wants wants_;
};

} // namespace vaskerel
