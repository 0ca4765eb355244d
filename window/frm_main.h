#pragma once

#include "listgen/generate_list.h"

#include <QWidget>

#include <chrono>
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

    FrmMain(SettingsStore& settings, CommonDialog& ComDlg, MessageBoxes& messages, QWidget* parent = nullptr);
    ~FrmMain() override;

    void cmdOK_Click();
    void cmdDirBrowse_Click();
    void cmdPathBrowse_Click();
    // Puts a folder given at start into 入力.
    void setInputFolder(const QString& folder);
    bool generating() const;
    // Cancels a run as the progress dialog's Cancel button does.
    void cancelGenerate();

signals:
    void generateFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void Form_Load();
    void Form_Unload();
    void showEmptyFieldsMessage();
    void setRunning(bool running);
    void showProgress();
    void closeProgress();
    void onProgress(quint64 files, quint64 bytes);
    void onFinished(const listgen::Outcome& outcome);

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

    // The folder the last confirmed folder browse gave, where the next one opens by default.
    QString lastBrowsedFolder_;

    GenerateWorker* worker_ = nullptr;
    QTimer* progressDelay_ = nullptr;
    std::chrono::steady_clock::time_point runStart_;
    std::unique_ptr<ProgressDialog> progress_;
};

} // namespace vaskerel
