#include "app/window_start.h"

#include "cli/localized.h"
#include "cli/run_command_line.h"
#include "window/open_window.h"

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vaskerel {

namespace {

bool environmentNames(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// A message Qt gave while the application object was being made, held back until Qt either
// opened its display or gave up.
struct HeldMessage {
    QtMsgType type;
    int line;
    const char* file;
    const char* function;
    const char* category;
    QString text;
};

std::mutex heldLock;
std::vector<HeldMessage> held;
QtMessageHandler qtHandler = nullptr;

void passOnHeld()
{
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard lock(heldLock);
        messages.swap(held);
    }
    for (const HeldMessage& message : messages) {
        const QMessageLogContext context(message.file, message.line, message.function, message.category);
        qtHandler(message.type, context, message.text);
    }
}

// Qt's answer to a display it cannot open is an abort that blames the installation; a start
// without a display is wrong usage instead, and says what Qt could not do.
void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!QCoreApplication::startingUp()) {
        passOnHeld();
        qtHandler(type, context, text);
        return;
    }
    if (type != QtFatalMsg) {
        const std::lock_guard lock(heldLock);
        held.push_back({type, context.line, context.file, context.function, context.category, text});
        return;
    }
    // The platform plugin's own words say best what went wrong, such as "could not connect to display :1".
    std::string cause = tr("Qt could not open a display");
    {
        const std::lock_guard lock(heldLock);
        const auto platform = std::find_if(held.begin(), held.end(), [](const HeldMessage& message) {
            return message.category != nullptr && std::string_view(message.category).starts_with("qt.qpa.");
        });
        if (platform != held.end())
            cause = platform->text.toStdString();
    }
    ::_exit(refuseWindow(withValue(tr("cannot open the window: %s"), cause)));
}

} // namespace

int startWindow(int& argc, char** argv, const std::string& inputFolder)
{
    // A platform chosen by QT_QPA_PLATFORM (offscreen, vnc, a framebuffer) needs no display.
    if (!environmentNames("DISPLAY") && !environmentNames("WAYLAND_DISPLAY") && !environmentNames("QT_QPA_PLATFORM"))
        return refuseWindow(tr("cannot open the window: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"));
    qtHandler = qInstallMessageHandler(handleMessage);
    qAddPreRoutine(passOnHeld);
    const int status = openWindow(argc, argv, inputFolder);
    passOnHeld();
    qInstallMessageHandler(qtHandler);
    return status;
}

} // namespace vaskerel
