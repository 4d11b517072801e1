// Recorders for the window layer's prompt seams (platform/user_prompts.h): while one is alive,
// message boxes and file or folder pickers are recorded and answered with the scripted answer,
// never shown. Header-only: only gui tests include Qt.
#pragma once

#include <QString>

#include <deque>
#include <vector>

#include "platform/user_prompts.h"

class MessageBoxRecorder : public IMessageBoxSeam {
public:
    MessageBoxRecorder() : m_scope(this) {}

    // Answers given in turn; when they run out, the dismissed answer of the box's buttons.
    void ScriptAnswers(std::deque<int> answers) { m_answers = std::move(answers); }

    int ShowMessageBox(const MessageBoxRequest& request) override {
        requests.push_back(request);
        if (m_answers.empty()) return DismissedAnswer(request.type);
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    std::vector<MessageBoxRequest> requests;

private:
    std::deque<int> m_answers;
    ScopedMessageBoxSeam m_scope;
};

// The scripted answer of a picker seam and the requests it was asked.
template <class Request>
struct PickerLog {
    QString Record(const Request& request) {
        requests.push_back(request);
        return answer;
    }
    QString answer;  // empty: cancelled
    std::vector<Request> requests;
};

class OpenFileRecorder : public IOpenFileSeam, public PickerLog<OpenFileRequest> {
public:
    OpenFileRecorder() : m_scope(this) {}
    QString ChooseOpenFile(const OpenFileRequest& request) override { return Record(request); }

private:
    ScopedOpenFileSeam m_scope;
};

class SaveFileRecorder : public ISaveFileSeam, public PickerLog<SaveFileRequest> {
public:
    SaveFileRecorder() : m_scope(this) {}
    QString ChooseSaveFile(const SaveFileRequest& request) override { return Record(request); }

private:
    ScopedSaveFileSeam m_scope;
};

class FolderRecorder : public IFolderSeam, public PickerLog<FolderRequest> {
public:
    FolderRecorder() : m_scope(this) {}
    QString ChooseFolder(const FolderRequest& request) override { return Record(request); }

private:
    ScopedFolderSeam m_scope;
};
