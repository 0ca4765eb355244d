#pragma once

#include <QString>

namespace vaskerel {

// The path a field's text names: a leading "~/" (or a bare "~") stands for the home folder;
// everything else is taken as typed.
QString localPath(const QString& fieldText);

} // namespace vaskerel
