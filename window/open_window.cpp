#include "window/open_window.h"

#include "window/frm_main.h"
#include "window/message_boxes.h"
#include "window/qt_file_dialog.h"
#include "window/qt_japanese.h"
#include "window/qt_message_boxes.h"
#include "window/settings_store.h"

#include "listgen/report/temporary_files.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace vaskerel {

namespace {

// Long enough for a run to notice its cancel between two reads of a slow disk.
constexpr std::chrono::milliseconds kStopPatience{2000};

// Every size the process carries, so that the window manager, the task bar and the switcher
// each take the one that fits them instead of scaling one. Smallest first: X limits how much
// the window's icon property may hold, and the large ones are then the ones left out.
QIcon applicationIcon()
{
    QFileInfoList sizes = QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files);
    std::sort(sizes.begin(), sizes.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.baseName().toInt() < b.baseName().toInt(); });
    QIcon icon;
    for (const QFileInfo& size : sizes)
        icon.addFile(size.filePath());
    return icon;
}

} // namespace

int openWindow(int& argc, char** argv, const std::string& inputFolder)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(applicationIcon());
    const QtJapanese japanese;
    SettingsStore settings;
    QtFileDialog dialog;
    QtMessageBoxes messages;
    FrmMain frmMain(settings, dialog, messages);
    dialog.setOwner(&frmMain);
    messages.setOwner(&frmMain);
    if (!inputFolder.empty())
        frmMain.setInputFolder(QFile::decodeName(QByteArray::fromStdString(inputFolder)));
    frmMain.show();
    const int status = QApplication::exec();
    if (!frmMain.endRun(kStopPatience)) {
        // A read the run cannot leave (a stalled network or FUSE file system) would hold the
        // process for as long as it lasts: end it now, leaving no named temporary behind.
        listgen::TemporaryFiles::abandon(std::chrono::milliseconds(500));
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

} // namespace vaskerel
