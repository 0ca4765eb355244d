#pragma once

#include "listgen/generate_list.h"
#include "window/existing_output.h"

#include <QWidget>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QLineEdit;
class QPushButton;
class QTimer;

namespace vaskerel {

class CommonDialog;
class FieldCaption;
class FrameBox;
class GenerateWorker;
class MessageBoxes;
class ProgressDialog;
class SettingsStore;
enum class DropRefusal;

// The tool's one window: four fields, two browse buttons and the generate button.
class FrmMain : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTwipsPerPixel = 15;

    // `run` makes the report; tests give one of their own.
    FrmMain(SettingsStore& settings, CommonDialog& ComDlg, MessageBoxes& messages,
            std::function<listgen::Outcome(const listgen::ListRequest&, const listgen::ProgressCallback&,
                                           const std::atomic<bool>&)>
                run = listgen::GenerateList);
    ~FrmMain() override;

    void cmdOK_Click();
    void cmdDirBrowse_Click();
    void cmdPathBrowse_Click();
    // Puts a folder given at start into 入力.
    void setInputFolder(const QString& folder);
    bool generating() const;
    // Cancels a run as the progress dialog's Cancel button does.
    void cancelGenerate();
    // After the window has closed: waits up to `patience` for a run still going to stop. False
    // when it did not, stuck in a read that cannot be interrupted; it is then left to itself.
    bool endRun(std::chrono::milliseconds patience);

signals:
    void generateFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void fitCaptions();
    void setTabOrder();
    // A field with the key it is stored under.
    struct StoredField {
        QString key;
        QLineEdit* field;
    };
    std::array<StoredField, 4> storedFields() const;
    void Form_Load();
    void Form_Unload();
    void restorePlace();
    void showEmptyFieldsMessage();
    void setRunning(bool running);
    void showProgress();
    void closeProgress();
    void onProgress(quint64 files, quint64 bytes);
    void onFinished(const listgen::Outcome& outcome);
    // True unless `path` is a file that is no report and the user declines to overwrite it.
    bool mayOverwrite(const QString& path);
    void refuseInexactPath(const QByteArray& path);
    void refuseDrop(DropRefusal why, const QByteArray& subject);
    void warnOfSetAsideSettings();
    QString outputBrowseStart() const;

    SettingsStore& settings_;
    CommonDialog& ComDlg;
    MessageBoxes& messages_;

    FieldCaption* Label1 = nullptr;
    QLineEdit* txtDir = nullptr;
    QPushButton* cmdDirBrowse = nullptr;
    FieldCaption* Label2 = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdPathBrowse = nullptr;
    FrameBox* Frame1 = nullptr;
    FieldCaption* Label3 = nullptr;
    QLineEdit* txtCSS = nullptr;
    FieldCaption* Label4 = nullptr;
    QLineEdit* txtTitle = nullptr;
    QPushButton* cmdOK = nullptr;

    // Pixels per design pixel: 1 at the 9-point font the layout was made for, more for a larger
    // system font.
    double scale_;

    // The folder the last confirmed folder browse gave, where the next one opens by default.
    QString lastBrowsedFolder_;
    // The folder of the last confirmed output browse, where the next one opens by default.
    QString lastOutputFolder_;
    // The fields as Form_Load filled them, in storedFields' order.
    std::array<QString, 4> loaded_;
    // The file the user last agreed to overwrite, as it was then.
    std::optional<std::pair<QString, ExistingOutput>> consented_;

    GenerateWorker* worker_ = nullptr;
    QTimer* progressDelay_ = nullptr;
    std::chrono::steady_clock::time_point runStart_;
    std::unique_ptr<ProgressDialog> progress_;
};

} // namespace vaskerel
