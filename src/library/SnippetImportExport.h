#pragma once

#include "library/SnippetImport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class AppState;
class FileChooser;
class QWidget;

// Moves snippets between the store and files for the Snippets tab: the import (dialog,
// size gate, parse, merge) and the export. Every outcome is a status text for the tab's
// transient status line; nothing is shown here.
class SnippetImportExport
{
public:
    // A file of exactly this size is still read.
    static constexpr qint64 maxImportBytes = 20 * 1024 * 1024;

    SnippetImportExport(AppState& state, FileChooser& chooser);

    // Asks for a file and imports it. The status to show, or absent when the user cancelled.
    std::optional<QString> importSnippets(QWidget* parent = nullptr);
    // Asks where to write and exports every snippet. The status, or absent when cancelled.
    std::optional<QString> exportSnippets(QWidget* parent = nullptr);

    // The steps behind the dialogs.
    static QString importFile(AppState& state, const QString& path);
    // Folds a parsed file into the store without duplicate triggers; returns the status.
    static QString merge(AppState& state, const SnippetImport::Result& result);
    static QString exportTo(AppState& state, const QString& path);

    struct FileRead
    {
        QByteArray bytes;
        // The status text when the file was refused or could not be read.
        std::optional<QString> failure;
    };
    // Reads a file for import without ever blocking or reading more than limit + 1 bytes:
    // anything but a regular file cannot be read, a larger one is refused by size.
    static FileRead readImportFile(const QString& path, qint64 limit = maxImportBytes);
    // The file name's extension, lower-cased; empty for none (a leading dot starts no extension).
    static QString fileExtension(const QString& path);

    static QString openMessage();
    static QString proposedExportName();
    static QStringList importNameFilters();
    static QStringList exportNameFilters();

private:
    AppState& m_state;
    FileChooser& m_chooser;
};
