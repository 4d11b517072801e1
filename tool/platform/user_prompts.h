// Message boxes, the open-file and save-file pickers and the folder picker, each through one seam that tests
// replace with a recorder, so that no test ever blocks on a modal window.
//
// The real seams show Qt's modal dialogs. On a platform without a screen (offscreen, minimal),
// where nobody could answer, they show nothing: the prompt is logged at level 3 and answered as
// if it had been dismissed (the cancel answer of the buttons it offers; no file, no folder).
//
// Window thread only. A seam object stays owned by whoever installs it and must outlive its
// installation (ScopedPromptSeam puts the previous one back).
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

// Buttons, icons and flags of MessageBox, with the original platform's values.
constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbOkCancel = 0x1;
constexpr uint32_t kMbYesNoCancel = 0x3;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbTopMost = 0x40000;
constexpr uint32_t kMbButtonsMask = 0xF;
constexpr uint32_t kMbIconMask = 0xF0;

// Answers of MessageBox.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

struct MessageBoxRequest {
    QWidget* owner;
    QString text;
    QString caption;
    uint32_t type;
};

struct OpenFileRequest {
    QWidget* owner;
    QString title;
    QString initialPath;  // file or folder the picker starts at
    QString filter;       // Qt filter text ("Data (*.dat);;All files (*)"); empty for all files
};

struct SaveFileRequest {
    QWidget* owner;
    QString title;
    QString initialPath;  // file or folder the picker starts at
    QString filter;       // as OpenFileRequest's
};

struct FolderRequest {
    QWidget* owner;
    QString title;
    QString initialFolder;
};

class IMessageBoxSeam {
public:
    virtual ~IMessageBoxSeam() = default;
    // The answer (kIdOk, kIdCancel, kIdYes, kIdNo).
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
};

class IOpenFileSeam {
public:
    virtual ~IOpenFileSeam() = default;
    // The chosen file, or empty when the user cancelled.
    virtual QString ChooseOpenFile(const OpenFileRequest& request) = 0;
};

class ISaveFileSeam {
public:
    virtual ~ISaveFileSeam() = default;
    // The file to write, or empty when the user cancelled.
    virtual QString ChooseSaveFile(const SaveFileRequest& request) = 0;
};

class IFolderSeam {
public:
    virtual ~IFolderSeam() = default;
    // The chosen folder, or empty when the user cancelled.
    virtual QString ChooseFolder(const FolderRequest& request) = 0;
};

// What the windows call.
int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t type);
QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& initialPath,
                       const QString& filter);
QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& initialPath,
                       const QString& filter);
QString ChooseFolder(QWidget* owner, const QString& title, const QString& initialFolder);

// Installs a seam (null puts the real one back); returns the one it replaces (null for the
// real one).
IMessageBoxSeam* SetMessageBoxSeam(IMessageBoxSeam* seam);
IOpenFileSeam* SetOpenFileSeam(IOpenFileSeam* seam);
ISaveFileSeam* SetSaveFileSeam(ISaveFileSeam* seam);
IFolderSeam* SetFolderSeam(IFolderSeam* seam);

// The answer a dismissed message box gives for its buttons.
int DismissedAnswer(uint32_t type);

// Installs a seam for a scope and puts the previous one back.
template <typename Seam, Seam* (*Set)(Seam*)>
class ScopedSeam {
public:
    explicit ScopedSeam(Seam* seam) : m_previous(Set(seam)) {}
    ~ScopedSeam() { Set(m_previous); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    Seam* m_previous;
};

using ScopedMessageBoxSeam = ScopedSeam<IMessageBoxSeam, &SetMessageBoxSeam>;
using ScopedOpenFileSeam = ScopedSeam<IOpenFileSeam, &SetOpenFileSeam>;
using ScopedSaveFileSeam = ScopedSeam<ISaveFileSeam, &SetSaveFileSeam>;
using ScopedFolderSeam = ScopedSeam<IFolderSeam, &SetFolderSeam>;
