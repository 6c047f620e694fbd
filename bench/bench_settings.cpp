// Settings window figures: one keystroke in the Spell Fix search with the 348 built-in and
// 2,000 custom corrections, from the key to the list drawn again.
#include "FigureReporter.h"

#include "model/AppState.h"
#include "settings/CorrectionListModel.h"
#include "settings/CorrectionsView.h"
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
    std::unique_ptr<CorrectionsView> page;

    Fixture()
    {
        AppState::Options o = home.storeOptions();
        o.deferSettingsWrites = false;
        state = std::make_unique<AppState>(o);
        QList<CustomCorrection> customs;
        customs.reserve(2000);
        for (int i = 0; i < 2000; ++i) {
            const QString word = QStringLiteral("wrd%1x").arg(i, 0, 36);
            customs.append(CustomCorrection{QUuid::createUuid(), word + QStringLiteral("ing"),
                                            QStringLiteral("Word %1 Replacement").arg(i), i % 5 == 0});
        }
        state->setCustomCorrections(customs);
        page = std::make_unique<CorrectionsView>(*state);
        page->resize(900, 760);
        page->show();
        QApplication::processEvents();
    }
};

void correctionsFilter(benchmark::State& st)
{
    Fixture f;
    ThemedTextField* field = f.page->searchField();
    // Typing grows and shrinks the query, so every key filters the whole list.
    const QList<int> keys{Qt::Key_R, Qt::Key_E, Qt::Key_Backspace, Qt::Key_Backspace,
                          Qt::Key_T, Qt::Key_H, Qt::Key_Backspace, Qt::Key_Backspace};
    int next = 0;
    for (auto _ : st) {
        const int key = keys.at(next++ % keys.size());
        QTest::keyClick(field, Qt::Key(key));
        QApplication::processEvents();
        f.page->listView()->viewport()->repaint();
        benchmark::DoNotOptimize(f.page->model()->rowCount());
    }
    st.counters["corrections_filter_ms"] = benchmark::Counter(
        st.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(correctionsFilter)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return runFigureBenchmarks(argc, argv);
}
