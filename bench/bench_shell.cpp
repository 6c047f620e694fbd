// The shell with 10,000 snippets: how soon a freshly started Quenvil is ready (its tray
// icon docked, which happens after the keyboard monitor is running, so an upper bound on
// "ready to expand"), and how long the settings window takes from the request to the
// first paint of its Snippets page.
#include "FigureReporter.h"

#include "app/SettingsWindow.h"
#include "library/SnippetsView.h"
#include "model/AppState.h"
#include "settings/SettingsRootView.h"

#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPaintEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

QByteArray tenThousandSnippets()
{
    QByteArray json = "[";
    for (int i = 0; i < 10000; ++i) {
        if (i)
            json += ',';
        json += "{\"trigger\":\";s" + QByteArray::number(i) + "x\",\"content\":\"Snippet number " +
                QByteArray::number(i) + " with a line of text\"}";
    }
    return json + "]";
}

// Sees the first paint of a widget.
class PaintWatch : public QObject
{
  public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void windowOpen10k(benchmark::State& state)
{
    TestHome home;
    QDir().mkpath(home.dataDir());
    TestHome::writeFile(home.dataFile(QStringLiteral("snippets.json")), tenThousandSnippets());
    AppState store(home.storeOptions());
    store.settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        PaintWatch watch;
        auto* root = new SettingsRootView(store, nullptr);
        root->setPageFactory([&watch, &store](SettingsTab tab, QWidget* parent) -> QWidget* {
            if (tab != SettingsTab::snippets)
                return nullptr;
            auto* page = new SnippetsView(store, parent);
            page->installEventFilter(&watch);
            return page;
        });
        SettingsWindow window(root);
        window.present();
        while (!watch.painted && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        samples.push_back(double(t.nsecsElapsed()) / 1e6);
        window.hide();
        QApplication::processEvents();
    }
    std::sort(samples.begin(), samples.end());
    state.counters["window_open_10k_ms"] = samples[samples.size() / 2];
}

// Polls the X server's window tree for the docked tray icon.
bool trayIconDocked(const QByteArray& display)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    p.waitForFinished(5000);
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.contains("\"Quenvil\": (\"quenvil\" \"Quenvil\")") && line.contains(" 22x22"))
            return true;
    }
    return false;
}

void startupReady10k(benchmark::State& state)
{
    PrivateXServer server;
    if (!server.start()) {
        state.SkipWithError("no X server");
        return;
    }
    QTemporaryDir home;
    const QString data = home.path() + QStringLiteral("/data/Quenvil");
    QDir().mkpath(data);
    TestHome::writeFile(data + QStringLiteral("/snippets.json"), tenThousandSnippets());
    QDir().mkpath(home.path() + QStringLiteral("/config/Quenvil"));
    TestHome::writeFile(home.path() + QStringLiteral("/config/Quenvil/settings.json"),
                        R"({"soundEnabled":false,"didLaunchBefore":true,"didCompleteOnboarding":true})");
    std::vector<double> samples;
    for (auto _ : state) {
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(server.display()));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(server.busAddress()));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("HOME"), home.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        app.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        app.start(QStringLiteral(QUENVIL_APP), {});
        bool ready = false;
        while (t.elapsed() < 20000) {
            if (trayIconDocked(server.display())) {
                ready = true;
                break;
            }
            QThread::msleep(2);
        }
        const double ms = double(t.nsecsElapsed()) / 1e6;
        app.terminate();
        if (!app.waitForFinished(5000))
            app.kill();
        if (!ready) {
            state.SkipWithError("the tray icon never docked");
            return;
        }
        samples.push_back(ms);
    }
    std::sort(samples.begin(), samples.end());
    state.counters["startup_ready_10k_ms"] = samples[samples.size() / 2];
}

} // namespace

BENCHMARK(windowOpen10k)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(startupReady10k)->Iterations(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The window's own cost, without an X server's: the first paint offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runFigureBenchmarks(argc, argv);
}
