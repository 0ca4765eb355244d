#pragma once

#include <QString>

namespace vaskerel {

// The window's one file dialog, used in its save form. It keeps its properties between uses,
// so one browse opens with what the previous browse left.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    // "Description|pattern;pattern|Description|pattern" pairs.
    QString Filter;
    // The full path shown when the dialog opens, and the one chosen when it closes.
    QString FileName;
    // The name part of the chosen path.
    QString FileTitle;
    // The extension, without its dot, that a name typed without one gets; empty for none.
    QString DefaultExt;
    // For a folder browse, the name that stands for the folder shown: a typed path of a folder,
    // with this name after it or not, is confirmed as that folder followed by it. Empty otherwise.
    QString Placeholder;

    // Shows the dialog; on confirm updates FileName and FileTitle and returns true.
    bool ShowSave();

protected:
    // Asks the user; returns the confirmed path, or an empty text on cancel. `startPath` is the
    // file shown, or a folder alone to open in.
    virtual QString askForSavePath(const QString& filter, const QString& startPath, const QString& defaultExt) = 0;
};

} // namespace vaskerel
