#pragma once

#include "listgen/generate_list.h"

#include <QWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vaskerel {

class CommonDialog;
class FrameBox;
class GenerateWorker;
class MessageBoxes;
class ProgressDialog;
class SettingsStore;

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
    void Form_Load();
    void Form_Unload();
    void showEmptyFieldsMessage();
    void setRunning(bool running);
    void showProgress();
    void closeProgress();
    void onProgress(quint64 files, quint64 bytes);
    void onFinished(const listgen::Outcome& outcome);
    void refuseInexactPath(const QByteArray& path);
    void warnOfSetAsideSettings();
    QString outputBrowseStart() const;

    SettingsStore& settings_;
    CommonDialog& ComDlg;
    MessageBoxes& messages_;

    QLabel* Label1 = nullptr;
    QLineEdit* txtDir = nullptr;
    QPushButton* cmdDirBrowse = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdPathBrowse = nullptr;
    FrameBox* Frame1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtCSS = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtTitle = nullptr;
    QPushButton* cmdOK = nullptr;

    // Pixels per design pixel: 1 at the 9-point font the layout was made for, more for a larger
    // system font.
    double scale_;

    // The folder the last confirmed folder browse gave, where the next one opens by default.
    QString lastBrowsedFolder_;
    // The folder of the last confirmed output browse, where the next one opens by default.
    QString lastOutputFolder_;

    GenerateWorker* worker_ = nullptr;
    QTimer* progressDelay_ = nullptr;
    std::chrono::steady_clock::time_point runStart_;
    std::unique_ptr<ProgressDialog> progress_;
};

} // namespace vaskerel
