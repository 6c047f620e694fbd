// Inline search figures with 10,000 snippets: from the hot key to the panel drawn (with the
// library as it was at the last opening, and just changed), and one query keystroke
// filtered and drawn again.
#include "FigureReporter.h"

#include "app/InlineSearchController.h"
#include "app/InlineSearchPanel.h"
#include "engine/ContentRenderer.h"
#include "model/AppState.h"

#include "FakeFrontApp.h"
#include "TestHome.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <memory>

namespace {

struct Fixture
{
    TestHome home;
    std::unique_ptr<AppState> state;
    FakeFrontApp front;
    std::unique_ptr<ContentRenderer> renderer;
    std::unique_ptr<InlineSearchController> controller;
    QList<Snippet> snippets;

    Fixture()
    {
        AppState::Options o = home.storeOptions();
        o.deferSettingsWrites = false;
        state = std::make_unique<AppState>(o);
        snippets.reserve(10000);
        for (int i = 0; i < 10000; ++i) {
            Snippet s;
            s.trigger = QStringLiteral(";s%1x").arg(i, 0, 36);
            s.content = QStringLiteral("Snippet number %1 with a line of text\nand a second line about Thing %2")
                            .arg(i)
                            .arg(i % 97);
            snippets.append(s);
        }
        state->setSnippets(snippets);
        front.addWindow(10, QStringLiteral("Gedit"));
        front.bringToFront(10);
        ContentRenderer::Options ro;
        ro.lookup = ContentRenderer::lookupIn(*state);
        renderer = std::make_unique<ContentRenderer>(ro);
        InlineSearchController::Collaborators c;
        c.frontApp = &front;
        c.renderer = renderer.get();
        c.replace = [](int, const QList<Injector::Segment>&, int) {};
        controller = std::make_unique<InlineSearchController>(*state, c);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void drawn(InlineSearchPanel& panel)
{
    QApplication::processEvents();
    panel.repaint();
}

void closeAndDelete(Fixture& f)
{
    f.controller->close(false);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void openPanel(benchmark::State& st, bool changeLibrary)
{
    Fixture& f = fixture();
    for (auto _ : st) {
        if (changeLibrary) {
            st.PauseTiming();
            // A new list (not the one the panel last saw): every text is lower-cased again.
            QList<Snippet> copy = f.snippets;
            copy.detach();
            f.state->setSnippets(copy);
            st.ResumeTiming();
        }
        f.controller->toggle();
        drawn(*f.controller->panel());
        benchmark::DoNotOptimize(f.controller->model().results().size());
        st.PauseTiming();
        closeAndDelete(f);
        st.ResumeTiming();
    }
}

void searchOpen(benchmark::State& st)
{
    openPanel(st, false);
    st.counters["search_open_10k_ms"] =
        benchmark::Counter(st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void searchOpenChanged(benchmark::State& st)
{
    openPanel(st, true);
    st.counters["search_open_changed_10k_ms"] =
        benchmark::Counter(st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void searchFilter(benchmark::State& st)
{
    Fixture& f = fixture();
    f.controller->show();
    InlineSearchPanel* panel = f.controller->panel();
    drawn(*panel);
    QLineEdit* field = panel->searchField();
    // The query grows and shrinks, so every key filters the whole library.
    const QList<int> keys{Qt::Key_T, Qt::Key_H, Qt::Key_Backspace, Qt::Key_Backspace,
                          Qt::Key_2, Qt::Key_7, Qt::Key_Backspace, Qt::Key_Backspace};
    int next = 0;
    for (auto _ : st) {
        QTest::keyClick(field, Qt::Key(keys.at(next++ % keys.size())));
        drawn(*panel);
        benchmark::DoNotOptimize(f.controller->model().results().size());
    }
    closeAndDelete(f);
    st.counters["search_filter_10k_ms"] =
        benchmark::Counter(st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(searchOpen)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(searchOpenChanged)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(searchFilter)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return runFigureBenchmarks(argc, argv);
}
