// Snippet import figures: a 10,000-row CSV file read, parsed, merged into a store and saved;
// a 5 MB binary Text Substitutions property list parsed.
#include "FigureReporter.h"

#include "library/BinaryPlistReader.h"
#include "library/SnippetImport.h"
#include "library/SnippetImportExport.h"
#include "model/AppState.h"

#include "TestHome.h"

#include <QCoreApplication>
#include <QFile>

#include <memory>

namespace {

QByteArray csv10k()
{
    QByteArray out = "Shortcut,Phrase\n";
    for (int i = 0; i < 10000; ++i) {
        out += ";imp" + QByteArray::number(i, 36) + ",\"Imported expansion number " + QByteArray::number(i) +
               ", with a comma, a \"\"quote\"\" and a second line\nto keep the quoted path busy.\"\n";
    }
    return out;
}

QByteArray bigEndian(quint64 v, int width)
{
    QByteArray out(width, '\0');
    for (int i = width - 1; i >= 0; --i, v >>= 8)
        out[i] = char(v & 0xFF);
    return out;
}

QByteArray stringObject(const QString& s)
{
    bool ascii = true;
    for (QChar c : s)
        ascii = ascii && c.unicode() < 0x80;
    const quint64 n = quint64(s.size());
    QByteArray head(1, char((ascii ? 0x50 : 0x60) | (n < 15 ? n : 0x0F)));
    if (n >= 15)
        head += "\x12" + bigEndian(n, 4);
    if (ascii)
        return head + s.toLatin1();
    QByteArray body;
    for (QChar c : s)
        body += bigEndian(c.unicode(), 2);
    return head + body;
}

// A Text Substitutions list as the platform writes it: the two keys stored once and
// shared by every entry, each shortcut and phrase a string of its own; about 5 MB.
QByteArray bplist5mb()
{
    const int entries = 33000;
    const int refSize = 4;
    QList<QByteArray> objects;
    // 0: root array, 1: "phrase", 2: "shortcut", then per entry: dict, shortcut, phrase.
    QByteArray root = "\xAF\x12" + bigEndian(entries, 4);
    for (int i = 0; i < entries; ++i)
        root += bigEndian(3 + 3 * i, refSize);
    objects << root << stringObject(QStringLiteral("phrase")) << stringObject(QStringLiteral("shortcut"));
    for (int i = 0; i < entries; ++i) {
        const quint64 self = 3 + 3 * quint64(i);
        objects << "\xD2" + bigEndian(1, refSize) + bigEndian(2, refSize) + bigEndian(self + 2, refSize) +
                       bigEndian(self + 1, refSize);
        objects << stringObject(QStringLiteral("ts%1").arg(i, 0, 36));
        QString phrase = QStringLiteral("Expansion %1: ").arg(i) + QString(80, QLatin1Char('x'));
        if (i % 10 == 0)
            phrase += QStringLiteral(" — Grüße ✓");
        objects << stringObject(phrase);
    }
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const QByteArray& o : objects) {
        offsets << quint64(out.size());
        out += o;
    }
    const quint64 table = quint64(out.size());
    for (quint64 off : offsets)
        out += bigEndian(off, 4);
    out += QByteArray(6, '\0');
    out += char(4);
    out += char(refSize);
    out += bigEndian(quint64(objects.size()), 8);
    out += bigEndian(0, 8);
    out += bigEndian(table, 8);
    return out;
}

void importCsv10k(benchmark::State& state)
{
    TestHome home;
    const QString path = home.root() + QStringLiteral("/import.csv");
    TestHome::writeFile(path, csv10k());
    AppState store(home.storeOptions());
    const QList<Snippet> before = store.snippets();
    for (auto _ : state) {
        const QString status = SnippetImportExport::importFile(store, path);
        state.PauseTiming();
        if (status != QLatin1String("Imported 10000 snippets."))
            state.SkipWithError(qPrintable(status));
        store.setSnippets(before);
        state.ResumeTiming();
    }
    state.counters["import_csv_10k_ms"] =
        benchmark::Counter(state.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void importBplist5mb(benchmark::State& state)
{
    const QByteArray data = bplist5mb();
    if (data.size() < 5'000'000 || data.size() > 5'500'000)
        state.SkipWithError("fixture is not about 5 MB");
    for (auto _ : state) {
        const SnippetImport::Outcome outcome = SnippetImport::parse(data, QStringLiteral("plist"));
        if (!outcome.ok() || outcome.result.snippets.size() != 33000)
            state.SkipWithError("the property list did not parse");
        benchmark::DoNotOptimize(outcome.result.snippets.size());
    }
    state.counters["import_bplist_5mb_ms"] =
        benchmark::Counter(state.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(importCsv10k)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(importBplist5mb)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runFigureBenchmarks(argc, argv);
}
