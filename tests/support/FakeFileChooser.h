#pragma once

#include "library/FileChooser.h"

// Answers the file dialogs with a preset path (empty: the user cancelled) and records
// what each dialog was asked to show.
class FakeFileChooser : public FileChooser
{
public:
    QString openAnswer;
    QString saveAnswer;

    int openCalls = 0;
    int saveCalls = 0;
    QString lastMessage;
    QString lastProposedName;
    QStringList lastNameFilters;

    QString chooseFileToOpen(QWidget*, const QString& message, const QStringList& nameFilters) override
    {
        ++openCalls;
        lastMessage = message;
        lastNameFilters = nameFilters;
        return openAnswer;
    }

    QString chooseFileToSave(QWidget*, const QString& proposedName, const QStringList& nameFilters) override
    {
        ++saveCalls;
        lastProposedName = proposedName;
        lastNameFilters = nameFilters;
        return saveAnswer;
    }
};
