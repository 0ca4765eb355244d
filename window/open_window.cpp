#include "window/open_window.h"

#include "window/frm_main.h"
#include "window/message_boxes.h"
#include "window/qt_file_dialog.h"
#include "window/qt_japanese.h"
#include "window/qt_message_boxes.h"
#include "window/settings_store.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

namespace vaskerel {

int openWindow(int& argc, char** argv, const std::string& inputFolder)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vaskerel.png")));
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
    return QApplication::exec();
}

} // namespace vaskerel
