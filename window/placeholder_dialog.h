#pragma once

#include <QFileDialog>

namespace vaskerel {

// The save dialog of a folder browse, confirmed with a placeholder name in the folder shown.
// Enter on a typed path of a folder chooses that folder instead of opening it, and a
// placeholder typed after a folder's name (".../data___") stands for that folder, never for
// the one above it. A typed path that leads to no folder keeps the dialog open, saying so.
class PlaceholderDialog : public QFileDialog {
    Q_OBJECT

public:
    PlaceholderDialog(QWidget* owner, QString placeholder);

    void accept() override;

private:
    QString placeholder_;
};

} // namespace vaskerel
