#pragma once

#include "library/FileChooser.h"

// The desktop's file dialogs, run modally.
class FileDialogChooser : public FileChooser
{
public:
    QString chooseFileToOpen(QWidget* parent, const QString& message, const QStringList& nameFilters) override;
    QString chooseFileToSave(QWidget* parent, const QString& proposedName, const QStringList& nameFilters) override;
};
