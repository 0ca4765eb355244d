#include "window/field_path.h"

#include <QDir>

namespace vaskerel {

QString localPath(const QString& fieldText)
{
    if (fieldText == QLatin1String("~"))
        return QDir::homePath();
    if (fieldText.startsWith(QLatin1String("~/")))
        return QDir::homePath() + fieldText.mid(1);
    return fieldText;
}

} // namespace vaskerel
