#pragma once

#include "listgen/generate_list.h"
#include "window/existing_output.h"
#include "window/field_drop.h"

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

// The window's words for a failure code: the system's own, in the user's locale, for an errno
// value, and the tool's for its RunErrors.
QString reasonText(const std::error_code& code);

// The question before a run or a browse replaces `path`, which is no report of this tool.
QString overwriteText(const QString& path, const ExistingOutput& existing);

// Why a run with a relative 出力 was not started: 入力, where it would go, is relative too.
QString relativeOutputText(const QString& output, const QString& input);

// Why a drop left its field as it was.
QString dropRefusedText(DropRefusal why, const QByteArray& subject);

// Why a folder browse stays open: the typed path leads to no folder.
QString noSuchFolderText(const QString& path);

// The warning when the fields could not be stored at close, and why.
QString settingsNotStoredText(const QString& file, const std::error_code& reason);

// The warning after a settings file that was too large to read, or no regular file, was moved
// to `setAsideAs` and a fresh one started.
QString settingsSetAsideText(const QString& file, const QString& setAsideAs);

// The warning when a dropped or chosen path has a name that is not UTF-8, so no field text
// leads there; `path` is as the file system holds it.
QString notHeldExactlyText(const QByteArray& path);

} // namespace vaskerel
