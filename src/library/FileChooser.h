#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Asks the user for a file to read or a place to write. Behind an interface so that the
// import and export run in tests without a dialog.
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    // The chosen file's path, or an empty string when the user cancelled. `nameFilters`
    // are Qt name filters ("Label (*.ext ...)"), the first one selected.
    virtual QString chooseFileToOpen(QWidget* parent, const QString& message, const QStringList& nameFilters) = 0;
    virtual QString chooseFileToSave(QWidget* parent, const QString& proposedName, const QStringList& nameFilters) = 0;
};
