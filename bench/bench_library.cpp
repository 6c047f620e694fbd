// Snippets tab figures with 10,000 snippets in 50 groups: the tab built and drawn, one search
// keystroke filtered and drawn again, and one switch toggled (saved, re-indexed, drawn again).
#include "FigureReporter.h"

#include "library/SnippetListModel.h"
#include "library/SnippetListView.h"
#include "library/SnippetRowLogic.h"
#include "library/SnippetsView.h"
#include "model/AppState.h"
#include "ui/ThemedTextField.h"

#include "TestHome.h"

#include <QApplication>
#include <QTest>

#include <memory>

namespace {

struct Fixture
{
    TestHome home;
    std::unique_ptr<AppState> state;

    Fixture()
    {
        AppState::Options o = home.storeOptions();
        o.deferSettingsWrites = false;
        state = std::make_unique<AppState>(o);
        QList<SnippetGroup> groups;
        for (int g = 0; g < 50; ++g) {
            SnippetGroup group;
            group.name = QStringLiteral("Group %1").arg(g);
            group.triggerPrefix = g % 4 == 0 ? QStringLiteral(";") : QString();
            groups.append(group);
        }
        state->setGroups(groups);
        QList<Snippet> snippets;
        snippets.reserve(10000);
        for (int i = 0; i < 10000; ++i) {
            Snippet s;
            s.trigger = QStringLiteral("s%1x").arg(i, 0, 36);
            s.content =
                QStringLiteral("Snippet number %1 with a line of text\nand a second line about Thing %2")
                    .arg(i)
                    .arg(i % 97);
            if (i % 3 == 0)
                s.groupID = groups.at(i % groups.size()).id;
            snippets.append(s);
        }
        state->setSnippets(snippets);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void drawn(SnippetsView& page)
{
    QApplication::processEvents();
    page.listView()->viewport()->repaint();
}

void snippetsTabOpen(benchmark::State& st)
{
    Fixture& f = fixture();
    for (auto _ : st) {
        auto page = std::make_unique<SnippetsView>(*f.state);
        page->resize(900, 760);
        page->show();
        drawn(*page);
        benchmark::DoNotOptimize(page->listModel()->rowCount());
    }
    st.counters["snippets_tab_open_10k_ms"] =
        benchmark::Counter(st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void snippetsFilter(benchmark::State& st)
{
    Fixture& f = fixture();
    SnippetsView page(*f.state);
    page.resize(900, 760);
    page.show();
    drawn(page);
    ThemedTextField* field = page.searchField();
    // Typing grows and shrinks the query, so every key filters the whole list.
    const QList<int> keys{Qt::Key_T, Qt::Key_H, Qt::Key_Backspace, Qt::Key_Backspace,
                          Qt::Key_2, Qt::Key_7, Qt::Key_Backspace, Qt::Key_Backspace};
    int next = 0;
    for (auto _ : st) {
        QTest::keyClick(field, Qt::Key(keys.at(next++ % keys.size())));
        drawn(page);
        benchmark::DoNotOptimize(page.listModel()->rowCount());
    }
    st.counters["snippets_filter_10k_ms"] =
        benchmark::Counter(st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void snippetEditSave(benchmark::State& st)
{
    Fixture& f = fixture();
    SnippetsView page(*f.state);
    page.resize(900, 760);
    page.show();
    drawn(page);
    const QUuid id = f.state->snippets().at(5000).id;
    bool on = false;
    for (auto _ : st) {
        SnippetRowLogic::setEnabled(*f.state, id, on);
        on = !on;
        drawn(page);
        benchmark::DoNotOptimize(f.state->triggerIndex().size());
    }
    st.counters["snippet_edit_save_10k_ms"] =
        benchmark::Counter(st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(snippetsTabOpen)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(snippetsFilter)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(snippetEditSave)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return runFigureBenchmarks(argc, argv);
}
