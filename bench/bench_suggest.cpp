// The suggestion popup on the key path with 10,000 snippets (trigger lengths 1–30, half
// behind ";"): each keystroke of typing ";" triggers through the key handler, which
// matches the typed tail, filters it by application and lets the popup pick its six rows
// and compare them with what it shows. The popup's redraw that follows on the event loop
// is measured on its own, and so is a prefix that 5,000 triggers share.
#include "FigureReporter.h"

#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"
#include "engine/SuggestionPopup.h"
#include "model/AppState.h"

#include "FakeCaretLocator.h"
#include "TestHome.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::micro>(b - a).count();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(double(v.size() - 1) * p)];
}

KeyDown letter(QChar c)
{
    KeyDown k;
    k.text = QString(c);
    return k;
}

struct Fixture
{
    TestHome home;
    std::unique_ptr<AppState> state;
    ContentRenderer renderer;
    FakeCaretLocator caret;
    std::unique_ptr<SuggestionPopup> popup;
    std::unique_ptr<ExpansionEngine> engine;
    QStringList semicolonTriggers;

    // `shared`: every ";" trigger begins ";s", so one two-character prefix holds 5,000.
    explicit Fixture(bool shared)
    {
        AppState::Options o = home.storeOptions();
        state = std::make_unique<AppState>(o);
        QList<Snippet> list;
        list.reserve(10000);
        for (int i = 0; i < 10000; ++i) {
            Snippet s;
            const int len = 1 + i % 30;
            QString t = i % 2 ? QStringLiteral(";") : QString();
            if (i % 2 && shared)
                t += QLatin1Char('s');
            for (int k = int(t.size()); k < len; ++k)
                t += QChar(u'a' + (i * 7 + k * 13) % 26);
            s.trigger = t + QString::number(i);
            s.content = QStringLiteral("Snippet %1 content\nwith a second line").arg(i);
            list.append(s);
            if (i % 2)
                semicolonTriggers.append(s.trigger);
        }
        state->setSnippets(list);
        state->setSpellFixEnabled(false);
        state->setSoundEnabled(false);
        state->setHudEnabled(false);
        state->setInlineSuggestionsEnabled(true);
        state->setExpansionMode(ExpansionMode::delimiter);
        ContentRenderer::Options ro;
        ro.lookup = ContentRenderer::lookupIn(*state);
        renderer = ContentRenderer(ro);
        caret.caret = QRect(400, 300, 1, 18);
        SuggestionPopup::Options po;
        po.caret = &caret;
        po.screens = [] {
            return QList<PopupPlacement::Screen>{{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), 1}};
        };
        popup = std::make_unique<SuggestionPopup>(po);
        engine = std::make_unique<ExpansionEngine>(
            *state, [](int, const QList<Injector::Segment>&, int) {}, renderer);
        engine->setCollaborators({nullptr, popup.get(), nullptr, nullptr});
        engine->setFrontBundleID(QStringLiteral("gedit"));
    }
};

struct Samples
{
    std::vector<double> keys;   // every keystroke of a trigger after its first character
    std::vector<double> wide;   // the second character: the widest match
    std::vector<double> redraw; // the popup's work on the event loop after a keystroke
    int shown = 0;              // keystrokes after which the popup had rows
};

// Types " " and then each of `triggers`, one character at a time.
void typeTriggers(Fixture& f, const QStringList& triggers, Samples& out)
{
    for (const QString& trigger : triggers) {
        f.engine->resetBuffer();
        f.engine->handleKeyDown(letter(u' '));
        QCoreApplication::processEvents();
        for (int i = 0; i < trigger.size(); ++i) {
            const auto t0 = Clock::now();
            f.engine->handleKeyDown(letter(trigger.at(i)));
            const auto t1 = Clock::now();
            QCoreApplication::processEvents();
            const auto t2 = Clock::now();
            if (i == 0)
                continue;
            out.shown += f.popup->isShowing() ? 1 : 0;
            out.keys.push_back(micros(t0, t1));
            if (i == 1)
                out.wide.push_back(micros(t0, t1));
            out.redraw.push_back(micros(t1, t2));
        }
    }
}

QStringList sample(const QStringList& all, int n)
{
    QStringList picked;
    for (int i = 0; i < n; ++i)
        picked.append(all.at((i * 37) % all.size()));
    return picked;
}

// Made on first use and dropped before the application goes (they hold widgets).
std::unique_ptr<Fixture> g_plain;
std::unique_ptr<Fixture> g_shared;

void suggestRefresh10k(benchmark::State& state)
{
    if (!g_plain)
        g_plain = std::make_unique<Fixture>(false);
    Fixture& f = *g_plain;
    const QStringList triggers = sample(f.semicolonTriggers, 200);
    Samples s;
    typeTriggers(f, triggers, s); // warm up
    s = Samples();
    for (auto _ : state)
        typeTriggers(f, triggers, s);
    if (s.shown != int(s.keys.size())) {
        state.SkipWithError("a keystroke inside a trigger showed no suggestions");
        return;
    }
    state.counters["suggest_refresh_10k_median_us"] = percentile(s.keys, 0.5);
    state.counters["suggest_refresh_10k_p99_us"] = percentile(s.keys, 0.99);
    state.counters["suggest_refresh_wide_median_us"] = percentile(s.wide, 0.5);
    state.counters["suggest_redraw_median_us"] = percentile(s.redraw, 0.5);
}

void suggestRefreshShared5k(benchmark::State& state)
{
    if (!g_shared)
        g_shared = std::make_unique<Fixture>(true);
    Fixture& f = *g_shared;
    const QStringList triggers = sample(f.semicolonTriggers, 100);
    Samples s;
    typeTriggers(f, triggers, s); // warm up
    s = Samples();
    for (auto _ : state)
        typeTriggers(f, triggers, s);
    if (s.shown != int(s.keys.size())) {
        state.SkipWithError("a keystroke inside a trigger showed no suggestions");
        return;
    }
    state.counters["suggest_refresh_shared5k_us"] = percentile(s.wide, 0.5);
}

} // namespace

BENCHMARK(suggestRefresh10k)->Iterations(5);
BENCHMARK(suggestRefreshShared5k)->Iterations(5);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The offscreen platform says so for every opacity, mask and raise of the panel.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const int code = runFigureBenchmarks(argc, argv);
    g_plain.reset();
    g_shared.reset();
    return code;
}
