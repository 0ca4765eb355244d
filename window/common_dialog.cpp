#include "window/common_dialog.h"

#include <QFileInfo>

namespace vaskerel {

bool CommonDialog::ShowSave()
{
    const QString chosen = askForSavePath(Filter, FileName, DefaultExt);
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    FileTitle = QFileInfo(chosen).fileName();
    return true;
}

} // namespace vaskerel
