#include "platform/user_prompts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include "core/dbg_output.h"

namespace {

// Platforms on which nobody can answer a modal window.
bool HasNoScreen() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void LogUnanswered(const char* what, const QString& title, const QString& text) {
    DbgOutputA(3, "%s not shown (no screen): %s: %s\r\n", what, title.toUtf8().constData(),
               text.toUtf8().constData());
}

QMessageBox::Icon IconOf(uint32_t type) {
    switch (type & kMbIconMask) {
        case kMbIconError:
            return QMessageBox::Critical;
        case kMbIconQuestion:
            return QMessageBox::Question;
        case kMbIconWarning:
            return QMessageBox::Warning;
        case kMbIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

class RealMessageBox : public IMessageBoxSeam {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override {
        if (HasNoScreen()) {
            LogUnanswered("message box", request.caption, request.text);
            return DismissedAnswer(request.type);
        }
        QMessageBox box(IconOf(request.type), request.caption, request.text, QMessageBox::NoButton,
                        request.owner);
        switch (request.type & kMbButtonsMask) {
            case kMbOkCancel:
                box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
                break;
            case kMbYesNoCancel:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                break;
            case kMbYesNo:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
                break;
            default:
                box.setStandardButtons(QMessageBox::Ok);
                break;
        }
        if ((request.type & kMbTopMost) != 0) {
            box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        }
        switch (box.exec()) {
            case QMessageBox::Ok:
                return kIdOk;
            case QMessageBox::Yes:
                return kIdYes;
            case QMessageBox::No:
                return kIdNo;
            case QMessageBox::Cancel:
                return kIdCancel;
            default:
                return DismissedAnswer(request.type);
        }
    }
};

class RealOpenFile : public IOpenFileSeam {
public:
    QString ChooseOpenFile(const OpenFileRequest& request) override {
        if (HasNoScreen()) {
            LogUnanswered("open-file picker", request.title, request.initialPath);
            return QString();
        }
        return QFileDialog::getOpenFileName(request.owner, request.title, request.initialPath,
                                            request.filter);
    }
};

class RealSaveFile : public ISaveFileSeam {
public:
    QString ChooseSaveFile(const SaveFileRequest& request) override {
        if (HasNoScreen()) {
            LogUnanswered("save-file picker", request.title, request.initialPath);
            return QString();
        }
        return QFileDialog::getSaveFileName(request.owner, request.title, request.initialPath,
                                            request.filter);
    }
};

class RealFolder : public IFolderSeam {
public:
    QString ChooseFolder(const FolderRequest& request) override {
        if (HasNoScreen()) {
            LogUnanswered("folder picker", request.title, request.initialFolder);
            return QString();
        }
        return QFileDialog::getExistingDirectory(request.owner, request.title,
                                                 request.initialFolder);
    }
};

RealMessageBox gRealMessageBox;
RealOpenFile gRealOpenFile;
RealSaveFile gRealSaveFile;
RealFolder gRealFolder;

IMessageBoxSeam* gMessageBoxSeam = nullptr;
IOpenFileSeam* gOpenFileSeam = nullptr;
ISaveFileSeam* gSaveFileSeam = nullptr;
IFolderSeam* gFolderSeam = nullptr;

template <typename Seam>
Seam* Exchange(Seam*& slot, Seam* seam) {
    Seam* previous = slot;
    slot = seam;
    return previous;
}

}  // namespace

int DismissedAnswer(uint32_t type) {
    switch (type & kMbButtonsMask) {
        case kMbOkCancel:
        case kMbYesNoCancel:
            return kIdCancel;
        case kMbYesNo:
            return kIdNo;
        default:
            return kIdOk;
    }
}

int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t type) {
    IMessageBoxSeam* seam = gMessageBoxSeam != nullptr ? gMessageBoxSeam : &gRealMessageBox;
    return seam->ShowMessageBox(MessageBoxRequest{owner, text, caption, type});
}

QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& initialPath,
                       const QString& filter) {
    IOpenFileSeam* seam = gOpenFileSeam != nullptr ? gOpenFileSeam : &gRealOpenFile;
    return seam->ChooseOpenFile(OpenFileRequest{owner, title, initialPath, filter});
}

QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& initialPath,
                       const QString& filter) {
    ISaveFileSeam* seam = gSaveFileSeam != nullptr ? gSaveFileSeam : &gRealSaveFile;
    return seam->ChooseSaveFile(SaveFileRequest{owner, title, initialPath, filter});
}

QString ChooseFolder(QWidget* owner, const QString& title, const QString& initialFolder) {
    IFolderSeam* seam = gFolderSeam != nullptr ? gFolderSeam : &gRealFolder;
    return seam->ChooseFolder(FolderRequest{owner, title, initialFolder});
}

IMessageBoxSeam* SetMessageBoxSeam(IMessageBoxSeam* seam) {
    return Exchange(gMessageBoxSeam, seam);
}

IOpenFileSeam* SetOpenFileSeam(IOpenFileSeam* seam) {
    return Exchange(gOpenFileSeam, seam);
}

ISaveFileSeam* SetSaveFileSeam(ISaveFileSeam* seam) {
    return Exchange(gSaveFileSeam, seam);
}

IFolderSeam* SetFolderSeam(IFolderSeam* seam) {
    return Exchange(gFolderSeam, seam);
}
