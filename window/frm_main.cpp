#include "window/frm_main.h"

#include "window/common_dialog.h"
#include "window/field_path.h"
#include "window/frame_box.h"
#include "window/generate_worker.h"
#include "window/message_boxes.h"
#include "window/outcome_text.h"
#include "window/path_drop.h"
#include "window/progress_dialog.h"
#include "window/settings_store.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace vaskerel {

namespace {

const QString kApplication = QStringLiteral("Zorm");
const QString kSection = QStringLiteral("Setting");
constexpr int kProgressDelayMs = 500;
const QString kPlaceholder = QStringLiteral("___");

template <typename Control>
Control* place(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    constexpr int twips = FrmMain::kTwipsPerPixel;
    control->setGeometry(left / twips, top / twips, width / twips, height / twips);
    return control;
}

const QString kGothicFace = QStringLiteral("ＭＳ Ｐゴシック");

QFont gothicFont(double points, bool bold)
{
    // Fontconfig has no MS face here; the IPA gothic faces carry the same Japanese glyphs.
    QFont::insertSubstitutions(kGothicFace, {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                             QStringLiteral("Noto Sans CJK JP")});
    QFont font(kGothicFace);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

std::string pathText(const QString& fieldText)
{
    return QFile::encodeName(localPath(fieldText)).toStdString();
}

} // namespace

FrmMain::FrmMain(SettingsStore& settings, CommonDialog& dialog, MessageBoxes& messages, QWidget* parent)
    : QWidget(parent)
    , settings_(settings)
    , ComDlg(dialog)
    , messages_(messages)
    , worker_(new GenerateWorker(this))
    , progressDelay_(new QTimer(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vaskerel v.1.00(by Plumbrack)"));
    setWindowIcon(QIcon(QStringLiteral(":/vaskerel.png")));
    // A fixed layout has nothing to maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(5865 / kTwipsPerPixel, 2415 / kTwipsPerPixel);
    // The window's own face for Japanese captions, narrow enough for the fixed label widths; its
    // dialogs and boxes take it too.
    setAttribute(Qt::WA_WindowPropagation);
    setFont(gothicFont(9, false));
    buildControls();
    setTabOrder();
    txtDir->setFocus();

    progressDelay_->setSingleShot(true);
    progressDelay_->setInterval(kProgressDelayMs);
    connect(progressDelay_, &QTimer::timeout, this, &FrmMain::showProgress);
    connect(worker_, &GenerateWorker::progressed, this, &FrmMain::onProgress);
    connect(worker_, &GenerateWorker::finished, this, &FrmMain::onFinished);
    Form_Load();
}

FrmMain::~FrmMain() = default;

void FrmMain::buildControls()
{
    Label1 = place<QLabel>(this, "Label1", 120, 120, 495, 255);
    Label1->setText(QStringLiteral("入力:"));
    txtDir = place<QLineEdit>(this, "txtDir", 720, 120, 4215, 270);
    cmdDirBrowse = place<QPushButton>(this, "cmdDirBrowse", 5040, 120, 375, 255);
    cmdDirBrowse->setText(QStringLiteral("..."));
    Label2 = place<QLabel>(this, "Label2", 120, 600, 615, 255);
    Label2->setText(QStringLiteral("出力:"));
    txtPath = place<QLineEdit>(this, "txtPath", 720, 600, 4215, 270);
    cmdPathBrowse = place<QPushButton>(this, "cmdPathBrowse", 5040, 600, 375, 255);
    cmdPathBrowse->setText(QStringLiteral("..."));
    Frame1 = place<FrameBox>(this, "Frame1", 105, 1050, 4335, 1110);
    Frame1->setTitle(QStringLiteral("オブション"));
    Label3 = place<QLabel>(Frame1, "Label3", 210, 315, 1215, 255);
    Label3->setText(QStringLiteral("スタイルシート:"));
    txtCSS = place<QLineEdit>(Frame1, "txtCSS", 1365, 240, 2700, 270);
    Label4 = place<QLabel>(Frame1, "Label4", 210, 630, 960, 225);
    Label4->setText(QStringLiteral("タイトル:"));
    txtTitle = place<QLineEdit>(Frame1, "txtTitle", 1365, 630, 2700, 270);
    cmdOK = place<QPushButton>(this, "cmdOK", 4620, 1680, 1095, 375);
    cmdOK->setText(QStringLiteral("計算"));

    const QFont bold = gothicFont(9.75, true);
    Label1->setFont(bold);
    Label2->setFont(bold);

    // Screen readers name each field after its label.
    Label1->setBuddy(txtDir);
    Label2->setBuddy(txtPath);
    Label3->setBuddy(txtCSS);
    Label4->setBuddy(txtTitle);
    cmdDirBrowse->setAccessibleName(QStringLiteral("入力フォルダーを選ぶ"));
    cmdPathBrowse->setAccessibleName(QStringLiteral("出力ファイルを選ぶ"));

    new PathDrop(txtDir, PathDrop::Wants::Folder);
    new PathDrop(txtPath, PathDrop::Wants::File);

    connect(cmdOK, &QPushButton::clicked, this, &FrmMain::cmdOK_Click);
    connect(cmdDirBrowse, &QPushButton::clicked, this, &FrmMain::cmdDirBrowse_Click);
    connect(cmdPathBrowse, &QPushButton::clicked, this, &FrmMain::cmdPathBrowse_Click);
}

void FrmMain::setTabOrder()
{
    QWidget* const order[] = {txtDir, txtPath, cmdDirBrowse, cmdPathBrowse, cmdOK, txtCSS, txtTitle};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void FrmMain::Form_Load()
{
    txtDir->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("inputDir"), QString()));
    txtPath->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("OutFile"), QString()));
    txtCSS->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("CSS"), QString()));
    txtTitle->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("Title"), QString()));
}

void FrmMain::Form_Unload()
{
    bool saved = settings_.SaveSetting(kApplication, kSection, QStringLiteral("InputDir"), txtDir->text());
    saved = settings_.SaveSetting(kApplication, kSection, QStringLiteral("OutFile"), txtPath->text()) && saved;
    saved = settings_.SaveSetting(kApplication, kSection, QStringLiteral("CSS"), txtCSS->text()) && saved;
    saved = settings_.SaveSetting(kApplication, kSection, QStringLiteral("Title"), txtTitle->text()) && saved;
    // Closing is never refused, but the user should know the fields will not come back.
    if (!saved)
        messages_.show(MessageBoxes::Kind::Warning,
                       QStringLiteral("入力欄の内容を %1 に保存できませんでした。次に起動したときには元に戻りません。")
                           .arg(settings_.fileFor(kApplication)));
}

void FrmMain::cmdOK_Click()
{
    if (worker_->running())
        return;
    listgen::ListRequest request;
    request.inputDir = pathText(txtDir->text());
    request.outputFile = pathText(txtPath->text());
    request.stylesheet = txtCSS->text().toStdString();
    request.title = txtTitle->text().toStdString();
    if (!listgen::hasMandatoryFields(request)) {
        showEmptyFieldsMessage();
        return;
    }
    setRunning(true);
    runStart_ = std::chrono::steady_clock::now();
    worker_->start(request);
    progressDelay_->start();
}

void FrmMain::showEmptyFieldsMessage()
{
    const std::string_view text = listgen::kEmptyFieldsMessage;
    messages_.show(MessageBoxes::Kind::Plain, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void FrmMain::cmdDirBrowse_Click()
{
    ComDlg.Filter = QStringLiteral("All File(*.*)|*.*");
    // Open where the input folder is, or where the last browse went, rather than wherever the
    // process happened to start.
    QString startFolder = localPath(txtDir->text());
    if (startFolder.isEmpty() || !QFileInfo(startFolder).isDir())
        startFolder = lastBrowsedFolder_;
    ComDlg.FileName =
        startFolder.isEmpty() ? kPlaceholder : QDir(QFileInfo(startFolder).absoluteFilePath()).filePath(kPlaceholder);
    if (!ComDlg.ShowSave())
        return;
    const qsizetype folderLength = ComDlg.FileName.size() - ComDlg.FileTitle.size() - 1;
    if (folderLength < 0)
        return;
    QString folder = ComDlg.FileName.left(folderLength);
    // The root folder has no name before its separator; it is still a folder.
    if (folder.isEmpty())
        folder = QStringLiteral("/");
    txtDir->setText(folder);
    lastBrowsedFolder_ = folder;
}

void FrmMain::cmdPathBrowse_Click()
{
    ComDlg.Filter = QStringLiteral("Html File(*.htm,*html)|*.htm;*html");
    if (ComDlg.ShowSave())
        txtPath->setText(ComDlg.FileName);
}

void FrmMain::setInputFolder(const QString& folder)
{
    txtDir->setText(folder);
}

bool FrmMain::generating() const
{
    return worker_->running();
}

void FrmMain::cancelGenerate()
{
    worker_->cancel();
}

void FrmMain::setRunning(bool running)
{
    for (QWidget* control : std::initializer_list<QWidget*>{txtDir, txtPath, txtCSS, txtTitle, cmdDirBrowse,
                                                            cmdPathBrowse, cmdOK})
        control->setEnabled(!running);
}

void FrmMain::showProgress()
{
    if (!worker_->running() || progress_ != nullptr)
        return;
    progress_ = std::make_unique<ProgressDialog>(this, runStart_);
    connect(progress_.get(), &ProgressDialog::cancelRequested, this, &FrmMain::cancelGenerate);
    progress_->show();
}

void FrmMain::closeProgress()
{
    progressDelay_->stop();
    // Gone at once, not at the next turn of the event loop: the box that follows runs its own loop.
    if (progress_ != nullptr) {
        progress_->hide();
        progress_.reset();
    }
}

void FrmMain::onProgress(quint64 files, quint64 bytes)
{
    if (progress_ != nullptr)
        progress_->setProgress({files, bytes});
}

void FrmMain::onFinished(const listgen::Outcome& outcome)
{
    closeProgress();
    setRunning(false);
    switch (outcome.status) {
    case listgen::Outcome::Status::Complete:
        messages_.show(MessageBoxes::Kind::Plain, QString::fromUtf8(kDoneMessage));
        break;
    case listgen::Outcome::Status::Partial:
        messages_.show(MessageBoxes::Kind::Warning, partialReportText(outcome));
        break;
    case listgen::Outcome::Status::NotWritten:
        messages_.show(MessageBoxes::Kind::Error, notWrittenText(outcome));
        break;
    case listgen::Outcome::Status::Refused:
        showEmptyFieldsMessage();
        break;
    case listgen::Outcome::Status::Cancelled:
        messages_.show(MessageBoxes::Kind::Plain, cancelledText());
        break;
    }
    emit generateFinished();
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    // A run still going is stopped first, so the old report stays as it was; the user who
    // closes the window needs no word about it.
    worker_->stop();
    closeProgress();
    setRunning(false);
    Form_Unload();
    event->accept();
}

void FrmMain::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Enter presses the button that has the focus; anywhere else it presses 計算.
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    QPushButton* target = focused != nullptr ? focused : cmdOK;
    if (target->isEnabled())
        target->click();
}

} // namespace vaskerel
