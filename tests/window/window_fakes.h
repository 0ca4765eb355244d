#pragma once

#include "window/common_dialog.h"
#include "window/message_boxes.h"

#include <QStringList>

#include <utility>
#include <vector>

// A dialog that answers from a script: each entry is the confirmed path, or "" for Cancel.
class ScriptedDialog : public vaskerel::CommonDialog {
public:
    QStringList answers;
    QStringList openedWith;
    QStringList filters;

protected:
    QString askForSavePath(const QString& filter, const QString& startPath) override
    {
        filters << filter;
        openedWith << startPath;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

class RecordedBoxes : public vaskerel::MessageBoxes {
public:
    std::vector<std::pair<Kind, QString>> shown;

    void show(Kind kind, const QString& text) override { shown.emplace_back(kind, text); }
};
