#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vaskerel {

// The path a field's text names: a leading "~/" (or a bare "~") stands for the home folder;
// everything else is taken as typed.
QString localPath(const QString& fieldText);

// The path 出力's text names: a relative one lies in 入力's folder, since the process's working
// folder is nowhere a desktop user looks. None when 入力 is relative too.
std::optional<QString> outputPathFor(const QString& outputText, const QString& inputText);

// The field text for a path given as the file system's bytes, or none when a field cannot
// hold it exactly: a name that is not UTF-8 would read back as another path.
std::optional<QString> fieldTextFor(const QByteArray& path);

// False when `path` came from a name that is not UTF-8 and so leads elsewhere: such names read
// with U+FFFD in place of their bytes. A U+FFFD that the file system really holds is kept.
bool namesExactly(const QString& path);

} // namespace vaskerel
