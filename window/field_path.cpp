#include "window/field_path.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace vaskerel {

namespace {

bool existsExactly(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

} // namespace

QString localPath(const QString& fieldText)
{
    if (fieldText == QLatin1String("~"))
        return QDir::homePath();
    if (fieldText.startsWith(QLatin1String("~/")))
        return QDir::homePath() + fieldText.mid(1);
    return fieldText;
}

std::optional<QString> outputPathFor(const QString& outputText, const QString& inputText)
{
    const QString output = localPath(outputText);
    if (QDir::isAbsolutePath(output))
        return output;
    const QString input = localPath(inputText);
    if (!QDir::isAbsolutePath(input))
        return std::nullopt;
    return QDir(input).filePath(output);
}

std::optional<QString> fieldTextFor(const QByteArray& path)
{
    QString text = QFile::decodeName(path);
    if (QFile::encodeName(text) != path)
        return std::nullopt;
    return text;
}

bool namesExactly(const QString& path)
{
    if (!path.isValidUtf16())
        return false;
    const qsizetype replaced = path.lastIndexOf(QChar::ReplacementCharacter);
    if (replaced < 0)
        return true;
    // Up to the end of the last name that holds one, the path must be there as read.
    const qsizetype nameEnd = path.indexOf(QLatin1Char('/'), replaced);
    return existsExactly(nameEnd < 0 ? path : path.left(nameEnd));
}

} // namespace vaskerel
