#include "window/qt_file_dialog.h"

#include "window/placeholder_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include <memory>

namespace vaskerel {

QtFileDialog::QtFileDialog(QWidget* owner)
    : owner_(owner)
{
}

QStringList QtFileDialog::qtFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

QString QtFileDialog::askForSavePath(const QString& filter, const QString& startPath, const QString& defaultExt)
{
    const std::unique_ptr<QFileDialog> dialog =
        Placeholder.isEmpty() ? std::make_unique<QFileDialog>(owner_) : std::make_unique<PlaceholderDialog>(owner_, Placeholder);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The window asks itself, naming what would be lost, and not about a report of its own.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The list shows each description as given; Qt reads the patterns from the appended part.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(qtFilters(filter));
    dialog->setDefaultSuffix(defaultExt);
    if (QFileInfo(startPath).isDir())
        dialog->setDirectory(startPath);
    else if (!startPath.isEmpty())
        dialog->selectFile(startPath);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

} // namespace vaskerel
