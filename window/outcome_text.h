#pragma once

#include "listgen/generate_list.h"

#include <QByteArray>
#include <QString>

namespace vaskerel {

inline constexpr const char* kDoneMessage = "Done";
inline constexpr int kNamedSkippedEntries = 10;

// The warning after a report written with entries left out: "Done", how many, the first ten.
QString partialReportText(const listgen::Outcome& outcome);

// The error after a run that wrote nothing: what could not be done, to which path, and why.
QString notWrittenText(const listgen::Outcome& outcome);

// The note after a run stopped on request.
QString cancelledText();

// The warning after a settings file that was too large to read, or no regular file, was moved
// to `setAsideAs` and a fresh one started.
QString settingsSetAsideText(const QString& file, const QString& setAsideAs);

// The warning when a dropped or chosen path has a name that is not UTF-8, so no field text
// leads there; `path` is as the file system holds it.
QString notHeldExactlyText(const QByteArray& path);

} // namespace vaskerel
