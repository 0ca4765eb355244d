#include "window/placeholder_dialog.h"

#include "window/field_path.h"
#include "window/outcome_text.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

namespace vaskerel {

PlaceholderDialog::PlaceholderDialog(QWidget* owner, QString placeholder)
    : QFileDialog(owner)
    , placeholder_(std::move(placeholder))
{
}

void PlaceholderDialog::accept()
{
    auto* nameEdit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString typed = nameEdit != nullptr ? nameEdit->text() : QString();
    if (typed.isEmpty() || typed == placeholder_) {
        QFileDialog::accept();
        return;
    }
    const bool endsInPlaceholder = typed.endsWith(placeholder_);
    const QString path = QFileInfo(directory(), localPath(typed)).absoluteFilePath();
    const QString folder = endsInPlaceholder ? path.chopped(placeholder_.size()) : path;
    if (QFileInfo(folder).isDir()) {
        // In the name box, which selectFile leaves alone while it has the focus.
        nameEdit->setText(QDir(folder).filePath(placeholder_));
        QFileDialog::accept();
        return;
    }
    // Any other name in the folder shown confirms that folder; a path must lead to one.
    if (!endsInPlaceholder && !typed.contains(QLatin1Char('/'))) {
        QFileDialog::accept();
        return;
    }
    QMessageBox::warning(this, windowTitle(), noSuchFolderText(folder));
}

} // namespace vaskerel
