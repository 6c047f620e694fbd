// The learning engine on the key path and at start-up: what its hooks add to a plain
// keystroke, a delimiter that ends a hand fix (with the Hunspell verdict), and loading a
// learning.json filled to every cap.
#include "FigureReporter.h"

#include "ai/LearningEngine.h"
#include "model/AppState.h"
#include "platform/linux/HunspellSpellChecker.h"

#include "FakeSecureInput.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double>& v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Fixture
{
    TestHome home;
    std::unique_ptr<AppState> state;
    FakeSecureInput secure;
    HunspellSpellChecker spell{
        HunspellSpellChecker::Options{QStringLiteral("/usr/share/hunspell"), QStringLiteral("en_US.UTF-8")}};
    QString front = QStringLiteral("gedit");
    std::unique_ptr<LearningEngine> learner;

    Fixture()
    {
        AppState::Options o = home.storeOptions();
        state = std::make_unique<AppState>(o);
        state->setSnippets({});
        learner = std::make_unique<LearningEngine>(
            *state, LearningEngine::Collaborators{&spell, &secure, [this] { return front; }});
    }

    // A typed character as the typing engine hands it over.
    void typed(const QString& c)
    {
        if (learner->isLearningActive()) {
            learner->setTypedSinceBackspace(true);
            learner->appendToBuffer(c);
        } else {
            learner->resetTransientState();
        }
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void learningHook(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString text = QStringLiteral("the quick brown fox jumps over the lazy dog and runs far away ");
    std::vector<QString> chars;
    for (const QChar c : text)
        chars.emplace_back(c);
    std::vector<double> samples;
    samples.reserve(400000);
    for (auto _ : state) {
        // One sentence per segment, as a newline would end it.
        f.learner->resetTransientState();
        for (const QString& c : chars) {
            if (c == QLatin1String(" ")) {
                if (f.learner->isLearningActive()) {
                    f.learner->evaluatePendingFix();
                    f.learner->appendToBuffer(c);
                }
                continue;
            }
            const auto t0 = Clock::now();
            f.typed(c);
            const auto t1 = Clock::now();
            if (samples.size() < samples.capacity())
                samples.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
    }
    state.counters["learning_hook_median_ns"] = median(samples);
}

int seen(const LearningEngine& e)
{
    int n = 0;
    for (const CorrectionCandidate& c : e.correctionCandidates())
        n += c.count;
    return n;
}

void editDelimiter(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.spell.isLoaded()) {
        state.SkipWithError("the en_US Hunspell dictionary is missing");
        return;
    }
    struct Fix
    {
        QString wrong, right;
    };
    const Fix fixes[] = {{"plaen", "plane"}, {"wrold", "world"}, {"tabel", "table"}, {"hoem", "home"}};
    const QString space = QStringLiteral(" ");
    std::vector<double> samples;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const Fix& fix = fixes[i++ % 4];
        int common = 0;
        while (common < fix.wrong.size() && common < fix.right.size() &&
               fix.wrong[common] == fix.right[common])
            ++common;
        f.learner->resetTransientState();
        for (const QChar c : QStringLiteral("we saw the "))
            f.typed(QString(c));
        for (const QChar c : fix.wrong)
            f.typed(QString(c));
        for (int k = common; k < fix.wrong.size(); ++k)
            f.learner->noteBackspace();
        for (const QChar c : fix.right.mid(common))
            f.typed(QString(c));
        const int before = seen(*f.learner);
        state.ResumeTiming();

        const auto t0 = Clock::now();
        if (f.learner->isLearningActive()) {
            f.learner->evaluatePendingFix();
            f.learner->appendToBuffer(space);
        }
        const auto t1 = Clock::now();
        if (seen(*f.learner) != before + 1) {
            state.SkipWithError("the fix was not learned");
            break;
        }
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    state.counters["learning_edit_delim_median_us"] = median(samples);
}

QString words(int length, int seed)
{
    static const char* const pool[] = {"thanks",  "for",      "the",    "update",  "please",
                                       "find",    "attached", "report", "meeting", "tomorrow",
                                       "regards", "morning",  "team"};
    QString s;
    for (int i = 0; s.size() < length; ++i)
        s += QString::fromLatin1(pool[(seed * 7 + i * 3) % 13]) + QLatin1Char(' ');
    return s.left(length).trimmed();
}

void loadFull(benchmark::State& state)
{
    Fixture& f = fixture();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    SavedLearning saved;
    for (int i = 0; i < LearningEngine::kCorrectionCap; ++i) {
        CorrectionCandidate c;
        c.wrong = QStringLiteral("wrongword") + QString(QChar(u'a' + i % 26)) + QString(QChar(u'a' + i / 26));
        c.right = QStringLiteral("rightword") + QString(QChar(u'a' + i % 26));
        c.count = 1 + i % 5;
        c.lastSeen = now.addSecs(-i * 3600);
        if (i % 3 == 0)
            c.aiVerdict = AIVerdict::approved;
        saved.corrections.append(c);
    }
    for (int i = 0; i < LearningEngine::kPhraseCap; ++i) {
        PhraseCandidate p;
        p.text = words(200 - 5, i) + QStringLiteral(" #%1").arg(i, 3, 10, QLatin1Char('0'));
        p.key = p.text.toLower();
        p.count = 1 + i % 4;
        p.lastSeen = now.addSecs(-i * 600);
        if (i % 2 == 0) {
            p.aiVerdict = AIVerdict::approved;
            p.aiTrigger = QStringLiteral("ph%1").arg(i);
            p.templateText = words(300, i + 1) + QStringLiteral(" {field:name}");
        }
        saved.phrases.append(p);
    }
    for (int i = 0; i < LearningEngine::kDismissalCap; ++i)
        saved.dismissed.append(i % 2 ? QStringLiteral("c:wrong%1>right").arg(i)
                                     : QStringLiteral("p:") + words(120, i) + QString::number(i));
    for (int i = 0; i < LearningEngine::kSampleCap; ++i)
        saved.samples.append(words(280, i + 50));
    saved.toneProfile = words(800, 99);

    const QString path = f.home.dataFile(QStringLiteral("learning-full.json"));
    QDir().mkpath(f.home.dataDir());
    TestHome::writeFile(path, encodeLearning(saved));
    LearningEngine::Options o;
    o.filePath = path;

    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        LearningEngine e(*f.state,
                         LearningEngine::Collaborators{&f.spell, &f.secure, [] { return QString(); }}, o);
        const auto t1 = Clock::now();
        if (e.phraseCandidates().size() != LearningEngine::kPhraseCap ||
            e.correctionCandidates().size() != LearningEngine::kCorrectionCap) {
            state.SkipWithError("the file did not load whole");
            break;
        }
        samples.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    state.counters["learning_load_full_ms"] = median(samples);
}

} // namespace

BENCHMARK(learningHook)->Iterations(3000);
BENCHMARK(editDelimiter)->Iterations(4000);
BENCHMARK(loadFull)->Iterations(50);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int result = runFigureBenchmarks(argc, argv);
    fixture().learner.reset(); // its pending save, while the application still runs
    return result;
}
