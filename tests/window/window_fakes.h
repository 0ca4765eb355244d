#pragma once

#include "window/common_dialog.h"
#include "window/message_boxes.h"
#include "window/settings_store.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Readable failures: texts as texts, not as arrays of UTF-16 units.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << "{ \"" << texts.join("\", \"").toStdString() << "\" }";
}
inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << rect.width() << "x" << rect.height() << "+" << rect.x() << "+" << rect.y();
}

inline void PrintTo(const QSize& size, std::ostream* out)
{
    *out << size.width() << "x" << size.height();
}
QT_END_NAMESPACE

// A dialog that answers from a script: each entry is the confirmed path, or "" for Cancel.
class ScriptedDialog : public vaskerel::CommonDialog {
public:
    QStringList answers;
    QStringList openedWith;
    QStringList filters;
    QStringList defaultExts;

protected:
    QString askForSavePath(const QString& filter, const QString& startPath, const QString& defaultExt) override
    {
        filters << filter;
        defaultExts << defaultExt;
        openedWith << startPath;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// Records each box; a question is recorded as a warning and answered from `answers`, in turn,
// and declined once they run out.
class RecordedBoxes : public vaskerel::MessageBoxes {
public:
    std::vector<std::pair<Kind, QString>> shown;
    std::vector<bool> answers;
    // The object names of the other windows on screen while each box showed.
    std::vector<QStringList> alongside;

    // Each box shown as "Kind: text", one a line, for a whole sequence in one comparison.
    std::string said() const
    {
        std::string text;
        for (const auto& [kind, shownText] : shown)
            text += std::string(kind == Kind::Plain ? "Plain" : kind == Kind::Warning ? "Warning" : "Error") + ": " +
                    shownText.toStdString() + "\n";
        return text;
    }

    void show(Kind kind, const QString& text) override
    {
        shown.emplace_back(kind, text);
        QStringList visible;
        for (const QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                visible << window->objectName();
        }
        alongside.push_back(visible);
    }

    bool confirm(const QString& text, const QString&) override
    {
        show(Kind::Warning, text);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return yes;
    }
};

// Runs `inspect` on the first modal dialog of type Modal that opens, then closes it unless
// `inspect` did.
template <typename Modal>
void whenModalOpens(const std::function<void(Modal&)>& inspect)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto* modal = qobject_cast<Modal*>(QApplication::activeModalWidget());
        if (modal == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        inspect(*modal);
        if (modal->isVisible())
            modal->reject();
    });
    poll->start(20);
}

// What every window needs around it: its own settings folder, a scripted dialog and the boxes.
class WindowTest : public ::testing::Test {
protected:
    testing_support::TempFolder config;
    vaskerel::SettingsStore settings{QString::fromStdString(config.path().string())};
    ScriptedDialog dialog;
    RecordedBoxes boxes;
};
