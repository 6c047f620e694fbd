// settings.json: any file content opens, every typed read answers, and a write afterwards
// gives a file that opens again with the same values.

#include "FuzzSupport.h"

#include "model/Defaults.h"
#include "model/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace {

QString folder()
{
    // In memory where there is such a folder: every write is fsynced, and a disk makes that
    // the whole cost of an input.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/quenvil-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/quenvil-fuzz-XXXXXX"));
    return dir.path();
}

// Every typed read of every key, as the store answers them.
QString readEverything(SettingsStore& s, const QStringList& keys)
{
    QString out;
    for (const QString& k : keys) {
        const double d = s.doubleValue(k);
        FUZZ_CHECK(std::isfinite(d));
        out += k + QLatin1Char('=') + QString::number(s.boolValue(k)) + QLatin1Char('|') +
               s.stringValue(k).value_or(QStringLiteral("<none>")) + QLatin1Char('|') +
               s.stringListValue(k).value_or(QStringList{QStringLiteral("<none>")}).join(QChar(0x1F)) +
               QLatin1Char('|') + QString::number(s.integerValue(k)) + QLatin1Char('|') +
               QString::number(d == 0 ? 0.0 : d, 'g', 17) + QLatin1Char('\n');
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = folder() + QStringLiteral("/settings.json");
    QDir(folder()).removeRecursively();
    QDir().mkpath(folder());
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QStringList keys = Defaults::table().keys();
    keys << QStringLiteral("statExpansions") << QStringLiteral("statCharsSaved") << QStringLiteral("aiBackendsMigrated");
    QString before;
    {
        SettingsStore s(path);
        Defaults::registerDefaults(s);
        if (s.writesHeld())
            return 0;
        // One write makes the file ours; it must open again with the same values.
        s.setBool(QStringLiteral("aiBackendsMigrated"), s.boolValue(QStringLiteral("aiBackendsMigrated")));
        before = readEverything(s, keys);
    }
    SettingsStore again(path);
    Defaults::registerDefaults(again);
    FUZZ_CHECK(!again.loadFailed());
    FUZZ_CHECK(readEverything(again, keys) == before);
    return 0;
}
