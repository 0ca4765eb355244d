#include "window/frm_main.h"

#include "window/caption_fit.h"
#include "window/common_dialog.h"
#include "window/field_caption.h"
#include "window/field_drop.h"
#include "window/field_path.h"
#include "window/frame_box.h"
#include "window/generate_worker.h"
#include "window/message_boxes.h"
#include "window/outcome_text.h"
#include "window/progress_dialog.h"
#include "window/settings_store.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vaskerel {

namespace {

const QString kApplication = QStringLiteral("Zorm");
const QString kSection = QStringLiteral("Setting");
// Apart from the four fields, which are the tool's input.
const QString kPlaceSection = QStringLiteral("Window");
constexpr int kProgressDelayMs = 500;
const QString kPlaceholder = QStringLiteral("___");

// Twips to pixels at `scale`; edges are rounded, not widths, so that controls that meet still meet.
QRect pixelRect(double scale, int left, int top, int width, int height)
{
    const auto pixels = [scale](int twips) {
        return static_cast<int>(std::lround(twips * scale / FrmMain::kTwipsPerPixel));
    };
    return QRect(QPoint(pixels(left), pixels(top)), QPoint(pixels(left + width) - 1, pixels(top + height) - 1));
}

// The point size the window's fixed layout was made for; a larger system font scales it all.
constexpr double kDesignPoints = 9;
constexpr double kDesignDpi = 96;

double layoutScale()
{
    const QFont system = QApplication::font();
    const double dpi = QGuiApplication::primaryScreen() != nullptr ? QGuiApplication::primaryScreen()->logicalDotsPerInchY()
                                                                    : kDesignDpi;
    const double points = system.pointSizeF() > 0 ? system.pointSizeF() : system.pixelSize() * 72.0 / dpi;
    return std::max(1.0, points / kDesignPoints * dpi / kDesignDpi);
}

template <typename Control>
Control* place(QWidget* parent, double scale, const char* name, int left, int top, int width, int height)
{
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(pixelRect(scale, left, top, width, height));
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

std::string pathText(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

FrmMain::FrmMain(SettingsStore& settings, CommonDialog& dialog, MessageBoxes& messages,
                 std::function<listgen::Outcome(const listgen::ListRequest&, const listgen::ProgressCallback&,
                                                const std::atomic<bool>&)>
                     run)
    : settings_(settings)
    , ComDlg(dialog)
    , messages_(messages)
    , scale_(layoutScale())
    , worker_(new GenerateWorker(this, std::move(run)))
    , progressDelay_(new QTimer(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vaskerel v.1.00(by Plumbrack)"));
    // A fixed layout has nothing to maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(pixelRect(scale_, 0, 0, 5865, 2415).size());
    // The window's own face for Japanese captions.
    setFont(gothicFont(kDesignPoints * scale_, false));
    buildControls();
    fitCaptions();
    setTabOrder();
    txtDir->setFocus();

    progressDelay_->setSingleShot(true);
    progressDelay_->setInterval(kProgressDelayMs);
    connect(progressDelay_, &QTimer::timeout, this, &FrmMain::showProgress);
    connect(worker_, &GenerateWorker::progressed, this, &FrmMain::onProgress);
    connect(worker_, &GenerateWorker::finished, this, &FrmMain::onFinished);
    Form_Load();
    restorePlace();
}

FrmMain::~FrmMain() = default;

void FrmMain::buildControls()
{
    Label1 = place<FieldCaption>(this, scale_, "Label1", 120, 120, 495, 255);
    Label1->setText(QStringLiteral("入力:"));
    txtDir = place<QLineEdit>(this, scale_, "txtDir", 720, 120, 4215, 270);
    cmdDirBrowse = place<QPushButton>(this, scale_, "cmdDirBrowse", 5040, 120, 375, 255);
    cmdDirBrowse->setText(QStringLiteral("..."));
    Label2 = place<FieldCaption>(this, scale_, "Label2", 120, 600, 615, 255);
    Label2->setText(QStringLiteral("出力:"));
    txtPath = place<QLineEdit>(this, scale_, "txtPath", 720, 600, 4215, 270);
    cmdPathBrowse = place<QPushButton>(this, scale_, "cmdPathBrowse", 5040, 600, 375, 255);
    cmdPathBrowse->setText(QStringLiteral("..."));
    Frame1 = place<FrameBox>(this, scale_, "Frame1", 105, 1050, 4335, 1110);
    Frame1->setTitle(QStringLiteral("オブション"));
    Label3 = place<FieldCaption>(Frame1, scale_, "Label3", 210, 315, 1215, 255);
    Label3->setText(QStringLiteral("スタイルシート:"));
    txtCSS = place<QLineEdit>(Frame1, scale_, "txtCSS", 1365, 240, 2700, 270);
    Label4 = place<FieldCaption>(Frame1, scale_, "Label4", 210, 630, 960, 225);
    Label4->setText(QStringLiteral("タイトル:"));
    txtTitle = place<QLineEdit>(Frame1, scale_, "txtTitle", 1365, 630, 2700, 270);
    cmdOK = place<QPushButton>(this, scale_, "cmdOK", 4620, 1680, 1095, 375);
    cmdOK->setText(QStringLiteral("計算"));

    const QFont bold = gothicFont(9.75 * scale_, true);
    Label1->setFont(bold);
    Label2->setFont(bold);

    // Screen readers name each field after its label.
    Label1->setBuddy(txtDir);
    Label2->setBuddy(txtPath);
    Label3->setBuddy(txtCSS);
    Label4->setBuddy(txtTitle);
    cmdDirBrowse->setAccessibleName(QStringLiteral("入力フォルダーを選ぶ"));
    cmdPathBrowse->setAccessibleName(QStringLiteral("出力ファイルを選ぶ"));

    // The box comes after the drop has ended, so the file manager is not kept waiting.
    for (auto* drop : {new FieldDrop(txtDir, FieldDrop::Gives::Folder), new FieldDrop(txtPath, FieldDrop::Gives::File),
                       new FieldDrop(txtCSS, FieldDrop::Gives::Reference), new FieldDrop(txtTitle, FieldDrop::Gives::Name)})
        connect(drop, &FieldDrop::refused, this, &FrmMain::refuseDrop, Qt::QueuedConnection);

    connect(cmdOK, &QPushButton::clicked, this, &FrmMain::cmdOK_Click);
    connect(cmdDirBrowse, &QPushButton::clicked, this, &FrmMain::cmdDirBrowse_Click);
    connect(cmdPathBrowse, &QPushButton::clicked, this, &FrmMain::cmdPathBrowse_Click);
}

void FrmMain::fitCaptions()
{
    Label1->standBeside(*txtDir);
    Label2->standBeside(*txtPath);
    Label3->standBeside(*txtCSS);
    Label4->standBeside(*txtTitle);
    for (QPushButton* button : {cmdDirBrowse, cmdPathBrowse, cmdOK}) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        button->setFont(fittedFont(button->font(), button->text(), room.width(), room.height(), *button));
    }
}

void FrmMain::setTabOrder()
{
    QWidget* const order[] = {txtDir, txtPath, cmdDirBrowse, cmdPathBrowse, cmdOK, txtCSS, txtTitle};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

std::array<FrmMain::StoredField, 4> FrmMain::storedFields() const
{
    return {{{QStringLiteral("InputDir"), txtDir}, {QStringLiteral("OutFile"), txtPath}, {QStringLiteral("CSS"), txtCSS},
             {QStringLiteral("Title"), txtTitle}}};
}

void FrmMain::Form_Load()
{
    txtDir->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("inputDir"), QString()));
    txtPath->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("OutFile"), QString()));
    txtCSS->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("CSS"), QString()));
    txtTitle->setText(settings_.GetSetting(kApplication, kSection, QStringLiteral("Title"), QString()));
    for (std::size_t i = 0; i < loaded_.size(); ++i)
        loaded_[i] = storedFields()[i].field->text();
    // Said once the window is up, not before it.
    QTimer::singleShot(0, this, &FrmMain::warnOfSetAsideSettings);
}

void FrmMain::warnOfSetAsideSettings()
{
    for (const QString& setAsideAs : settings_.takeSetAside())
        messages_.show(MessageBoxes::Kind::Warning, settingsSetAsideText(settings_.fileFor(kApplication), setAsideAs));
}

// Where the window was, within the screen as it is now: a screen since made smaller or taken
// away must not leave it out of sight.
void FrmMain::restorePlace()
{
    bool hasLeft = false;
    bool hasTop = false;
    const int left = settings_.GetSetting(kApplication, kPlaceSection, QStringLiteral("Left"), QString()).toInt(&hasLeft);
    const int top = settings_.GetSetting(kApplication, kPlaceSection, QStringLiteral("Top"), QString()).toInt(&hasTop);
    const QScreen* screen = QGuiApplication::screenAt(QPoint(left, top));
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (!hasLeft || !hasTop || screen == nullptr)
        return;
    // The window manager's frame is not known before the window shows: room for a title bar
    // and borders.
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const QSize frame = size() + QSize(2 * border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border);
    const QRect room = screen->availableGeometry();
    move(std::clamp(left, room.left(), std::max(room.left(), room.right() + 1 - frame.width())),
         std::clamp(top, room.top(), std::max(room.top(), room.bottom() + 1 - frame.height())));
}

void FrmMain::Form_Unload()
{
    std::error_code failure;
    const auto save = [&](const QString& section, const QString& key, const QString& value) {
        const std::error_code error = settings_.SaveSetting(kApplication, section, key, value);
        failure = failure ? failure : error;
    };
    // A field this window left as it found it keeps what another window may have stored since.
    const std::array<StoredField, 4> fields = storedFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& [key, field] = fields[i];
        save(kSection, key,
             field->text() != loaded_[i] ? field->text() : settings_.GetSetting(kApplication, kSection, key, field->text()));
    }
    save(kPlaceSection, QStringLiteral("Left"), QString::number(x()));
    save(kPlaceSection, QStringLiteral("Top"), QString::number(y()));
    warnOfSetAsideSettings();
    // Closing is never refused, but the user should know the fields will not come back.
    if (failure)
        messages_.show(MessageBoxes::Kind::Warning, settingsNotStoredText(settings_.fileFor(kApplication), failure));
}

void FrmMain::cmdOK_Click()
{
    if (worker_->running())
        return;
    listgen::ListRequest request;
    request.inputDir = pathText(localPath(txtDir->text()));
    request.outputFile = pathText(txtPath->text());
    request.stylesheet = txtCSS->text().toStdString();
    request.title = txtTitle->text().toStdString();
    if (!listgen::hasMandatoryFields(request)) {
        showEmptyFieldsMessage();
        return;
    }
    const std::optional<QString> output = outputPathFor(txtPath->text(), txtDir->text());
    if (!output) {
        messages_.show(MessageBoxes::Kind::Warning, relativeOutputText(txtPath->text(), txtDir->text()));
        return;
    }
    if (!mayOverwrite(*output))
        return;
    request.outputFile = pathText(*output);
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

bool FrmMain::mayOverwrite(const QString& path)
{
    const ExistingOutput existing = existingOutput(path);
    if (existing.kind != ExistingOutput::Kind::Other || (consented_ && *consented_ == std::pair(path, existing)))
        return true;
    if (!messages_.confirm(overwriteText(path, existing), QStringLiteral("上書き")))
        return false;
    // Asked once, in the output browse, not again at 計算 unless the file changes.
    consented_.emplace(path, existing);
    return true;
}

void FrmMain::refuseInexactPath(const QByteArray& path)
{
    messages_.show(MessageBoxes::Kind::Warning, notHeldExactlyText(path));
}

void FrmMain::refuseDrop(DropRefusal why, const QByteArray& subject)
{
    messages_.show(MessageBoxes::Kind::Warning, dropRefusedText(why, subject));
}

void FrmMain::cmdDirBrowse_Click()
{
    ComDlg.Filter = QStringLiteral("All File(*.*)|*.*");
    ComDlg.DefaultExt.clear();
    ComDlg.Placeholder = kPlaceholder;
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
    if (!namesExactly(folder)) {
        refuseInexactPath(QFile::encodeName(folder));
        return;
    }
    txtDir->setText(folder);
    lastBrowsedFolder_ = folder;
}

// The current output in its folder, else the folder of the last output chosen, else the input
// folder, else home: never what a folder browse left in the shared dialog.
QString FrmMain::outputBrowseStart() const
{
    const QString output = localPath(txtPath->text());
    if (!output.isEmpty() && namesExactly(output)) {
        const QFileInfo current(output);
        if (current.absoluteDir().exists())
            return current.absoluteFilePath();
    }
    if (!lastOutputFolder_.isEmpty() && QFileInfo(lastOutputFolder_).isDir())
        return lastOutputFolder_;
    const QString input = localPath(txtDir->text());
    if (!input.isEmpty() && namesExactly(input) && QFileInfo(input).isDir())
        return QFileInfo(input).absoluteFilePath();
    return QDir::homePath();
}

void FrmMain::cmdPathBrowse_Click()
{
    ComDlg.Filter = QStringLiteral("Html File(*.htm,*html)|*.htm;*html");
    ComDlg.DefaultExt = QStringLiteral("htm");
    ComDlg.Placeholder.clear();
    ComDlg.FileName = outputBrowseStart();
    // Declining to overwrite goes back to the dialog, for another name.
    for (;;) {
        if (!ComDlg.ShowSave())
            return;
        if (!namesExactly(ComDlg.FileName)) {
            refuseInexactPath(QFile::encodeName(ComDlg.FileName));
            return;
        }
        if (mayOverwrite(ComDlg.FileName))
            break;
    }
    txtPath->setText(ComDlg.FileName);
    lastOutputFolder_ = QFileInfo(ComDlg.FileName).absolutePath();
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
    // The fields are stored before anything can hang, and the window goes at once. A run still
    // going is asked to stop, so the old report stays as it was; the user who closes the window
    // needs no word about it, and its end is waited for only once the window is gone.
    Form_Unload();
    disconnect(worker_, &GenerateWorker::finished, this, &FrmMain::onFinished);
    worker_->cancel();
    closeProgress();
    event->accept();
}

bool FrmMain::endRun(std::chrono::milliseconds patience)
{
    return worker_->stop(patience);
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
