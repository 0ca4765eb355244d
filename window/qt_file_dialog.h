#pragma once

#include "window/common_dialog.h"

#include <QStringList>

class QWidget;

namespace vaskerel {

// The common dialog on top of QFileDialog: a save form without Qt's overwrite prompt.
class QtFileDialog : public CommonDialog {
public:
    explicit QtFileDialog(QWidget* owner = nullptr);
    void setOwner(QWidget* owner) { owner_ = owner; }

    // "All File(*.*)|*.*" becomes "All File(*.*) (*.*)", the form QFileDialog reads; the
    // dialog hides the appended patterns, so the list shows "All File(*.*)".
    static QStringList qtFilters(const QString& filter);

protected:
    QString askForSavePath(const QString& filter, const QString& startPath, const QString& defaultExt) override;

private:
    QWidget* owner_;
};

} // namespace vaskerel
