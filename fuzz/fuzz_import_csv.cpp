// CSV import: any bytes end in snippets or an error, never a crash; what the row splitter
// reads, written back with every cell quoted, reads again as the same rows; and the
// snippets made always have a trigger and a content.

#include "FuzzSupport.h"

#include "library/SnippetImport.h"

static QString quoted(const QList<QStringList>& rows)
{
    QString out;
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += QLatin1Char(',');
            QString cell = row.at(i);
            out += QLatin1Char('"') + cell.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        }
        out += QLatin1Char('\n');
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const SnippetImport::Outcome outcome = SnippetImport::parseCSV(bytes);
    if (outcome.ok()) {
        FUZZ_CHECK(outcome.result.skipped >= 0);
        for (const Snippet& s : outcome.result.snippets)
            FUZZ_CHECK(!s.trigger.isEmpty() && !s.content.isEmpty() && !s.groupID);
        for (const SnippetImport::ImportedGroup& g : outcome.result.groups) {
            FUZZ_CHECK(!g.name.isEmpty() && !g.snippets.isEmpty());
            for (const Snippet& s : g.snippets)
                FUZZ_CHECK(!s.trigger.isEmpty() && !s.content.isEmpty());
        }
    }

    if (const auto text = SnippetImport::decodeCSVText(bytes)) {
        FUZZ_CHECK(!text->contains(QChar(0)));
        const QList<QStringList> rows = SnippetImport::csvRows(*text, SnippetImport::detectSeparator(*text));
        for (const QStringList& row : rows)
            FUZZ_CHECK(!row.isEmpty());
        FUZZ_CHECK(SnippetImport::csvRows(quoted(rows)) == rows);
    }
    return 0;
}
