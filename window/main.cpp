#include "window/batch_run.h"
#include "window/command_line.h"
#include "window/frm_main.h"
#include "window/message_boxes.h"
#include "window/qt_file_dialog.h"
#include "window/qt_japanese.h"
#include "window/qt_message_boxes.h"
#include "window/settings_store.h"
#include "window/verify_run.h"

#include <QApplication>
#include <QIcon>

#include <iostream>

namespace {

int openWindow(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(vaskerel::kApplicationTitle));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vaskerel.png")));
    const vaskerel::QtJapanese japanese;
    vaskerel::SettingsStore settings;
    vaskerel::QtFileDialog dialog;
    vaskerel::QtMessageBoxes messages;
    vaskerel::FrmMain frmMain(settings, dialog, messages);
    dialog.setOwner(&frmMain);
    messages.setOwner(&frmMain);
    frmMain.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    using vaskerel::CommandLine;
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case CommandLine::Action::OpenWindow:
        return openWindow(argc, argv);
    case CommandLine::Action::Generate:
        return vaskerel::runBatch(line.request, line.quiet, std::cerr);
    case CommandLine::Action::Verify:
        return vaskerel::runVerify(line.verifyRequest(), std::cout, std::cerr);
    case CommandLine::Action::Help:
        std::cout << vaskerel::usageText();
        return vaskerel::kExitComplete;
    case CommandLine::Action::Version:
        std::cout << "vaskerel " << VASKEREL_VERSION << '\n';
        return vaskerel::kExitComplete;
    case CommandLine::Action::UsageError:
        break;
    }
    std::cerr << "vaskerel: " << line.error << "\n\n" << vaskerel::usageText();
    return vaskerel::kExitUsage;
}
