#pragma once

#include "model/Models.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Turns the bytes of a file chosen for import into snippets: Quenvil's own JSON export, a
// Text Substitutions property list (XML or binary), a two-column CSV file and the tagged
// CSV layout (Level/Type/Guid columns) with its groups. Pure functions of their input
// (apart from fresh random ids); no file access, no store.
class SnippetImport
{
  public:
    SnippetImport() = delete;

    enum class ImportError
    {
        unrecognized,
        malformed
    };
    // The user-facing text of an error.
    static QString description(ImportError error);

    struct ImportedGroup
    {
        QString name;
        QList<Snippet> snippets;
    };

    struct Result
    {
        QList<Snippet> snippets;
        QList<ImportedGroup> groups;
        // Tagged CSV rows that could not be used (0 for every other format).
        int skipped = 0;
    };

    // A Result or the error that ended the parse.
    struct Outcome
    {
        Result result;
        std::optional<ImportError> error;

        bool ok() const { return !error.has_value(); }
        static Outcome success(Result r) { return Outcome{std::move(r), std::nullopt}; }
        static Outcome failure(ImportError e) { return Outcome{{}, e}; }
    };

    // The entry point: `fileExtension` is the file name's extension, lower-cased by the caller.
    static Outcome parse(const QByteArray& data, const QString& fileExtension);
    static Outcome parseTextSubstitutions(const QByteArray& data);
    static Outcome parseCSV(const QByteArray& data);
    // Splits a text into rows of cells; never fails. A quote left open runs to the end.
    static QList<QStringList> csvRows(const QString& text, QChar separator = u',');

    // The separator a CSV text uses: of comma, semicolon and tab, the one that makes the most
    // of the first few hundred rows into a trigger and a content (on a tie, the one whose
    // contents start with white space less often); the comma on a tie, otherwise the first
    // seen.
    static QChar detectSeparator(const QString& text);

    // The text of CSV bytes: a byte-order mark decides between UTF-8, UTF-16LE and
    // UTF-16BE (the mark is removed); without one, the bytes are UTF-8 with U+FFFD for
    // invalid sequences, unless they are invalid and hold no multi-byte character at all,
    // which is Windows-1252. Absent when the text holds NUL or is not valid UTF-16.
    static std::optional<QString> decodeCSVText(const QByteArray& data);

  private:
    static bool isPlist(const QByteArray& data);
    static std::optional<QList<Snippet>> decodeJSON(const QByteArray& data);
    static Outcome parseSimpleCSV(const QList<QStringList>& rows);
    static bool looksLikeHeader(const QStringList& row);
    static Result parseATextCSV(const QStringList& header, const QList<QStringList>& rows);
    static QList<QStringList> splitRows(const QString& text, QChar separator, bool* openQuote);
};
