#pragma once
// Dialogs that never open: they record what was asked and answer from a script.

#include <QPrinter>
#include <QStringList>
#include <deque>

#include "toolkit/dialogs.h"

namespace patchlens::test {

class RecordingDialogs : public Dialogs {
public:
    struct FolderRequest {
        QString title, startFolder;
    };

    QStringList messages;             // every message box text, in order
    QStringList questions;            // every OK/Cancel question: caption, then text
    std::deque<bool> questionAnswers; // what the questions answer (none left: Cancel)
    QStringList openRequests;         // the start folder of every open dialog
    std::deque<QString> openAnswers;  // what the open dialog answers (empty: cancel)
    std::vector<FolderRequest> folderRequests;
    std::deque<QString> folderAnswers; // what the folder picker answers (empty: cancel)
    QStringList openedDocuments;
    bool documentsOpen = true;            // whether the system has a program for the documents asked for
    QStringList imageRequests;            // the name each image save dialog suggested
    std::deque<QString> imageAnswers;     // what the image save dialog answers (empty: cancel)
    QStringList saveRequests;             // caption and suggested name of every other save dialog
    std::deque<QString> saveAnswers;      // what those save dialogs answer (empty: cancel)
    std::vector<QPrinter *> printDialogs; // the printer each print dialog was shown on
    std::deque<QString> printAnswers;     // a PDF file to print into, or empty: cancel
    int builtInHelpShown = 0;

    void ShowMessage(QWidget *, const QString &text) override { messages << text; }
    bool AskOkCancel(QWidget *, const QString &caption, const QString &text) override {
        questions << caption << text;
        return Next(questionAnswers);
    }
    QString ChoosePatchFile(QWidget *, const QString &startFolder) override {
        openRequests << startFolder;
        return Next(openAnswers);
    }
    QString PickFolder(QWidget *, const QString &title, const QString &startFolder) override {
        folderRequests.push_back({title, startFolder});
        return Next(folderAnswers);
    }
    QString ChooseImageFile(QWidget *, const QString &suggested) override {
        imageRequests << suggested;
        return Next(imageAnswers);
    }
    QString ChooseSaveFile(QWidget *, const QString &caption, const QString &suggested,
                           const QString &) override {
        saveRequests << caption << suggested;
        return Next(saveAnswers);
    }
    bool ChoosePrinter(QWidget *, QPrinter &printer) override {
        printDialogs.push_back(&printer);
        const QString file = Next(printAnswers);
        if (file.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }
    bool OpenDocument(const QString &path) override {
        openedDocuments << path;
        return documentsOpen;
    }
    void ShowBuiltInHelp(QWidget *) override { ++builtInHelpShown; }

private:
    template <typename T> static T Next(std::deque<T> &answers) {
        if (answers.empty())
            return {};
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace patchlens::test
