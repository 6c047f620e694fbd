#include "app/Appcast.h"

#include "ai/HttpExchange.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

// Keeps a string from the feed short enough for a small dialog.
QString quoted(const QString& text)
{
    constexpr int kMax = 40;
    QString shown = text.simplified();
    if (shown.size() > kMax)
        shown = shown.left(kMax) + QStringLiteral("…");
    return QStringLiteral("“") + shown + QStringLiteral("”");
}

bool isSparkle(const QXmlStreamReader& r, QLatin1StringView name)
{
    return r.namespaceUri() == Appcast::sparkleNamespace && r.name() == name;
}

struct ItemFields
{
    QString shortVersion;
    QString version;
    QString enclosureShortVersion;
    QString enclosureVersion;
    QString link;
    QString notesLink;
    bool hasChannel = false;

    QString chosenVersion() const
    {
        for (const QString* v : {&shortVersion, &enclosureShortVersion, &version, &enclosureVersion}) {
            if (!v->isEmpty())
                return *v;
        }
        return {};
    }
};

// Reads one <item>; the reader stands on its start element and ends on its end element.
bool readItem(QXmlStreamReader& r, ItemFields& item)
{
    while (r.readNextStartElement()) {
        if (r.namespaceUri().isEmpty() && r.name() == QLatin1String("link")) {
            item.link = r.readElementText().trimmed();
        } else if (isSparkle(r, QLatin1String("shortVersionString"))) {
            item.shortVersion = r.readElementText().trimmed();
        } else if (isSparkle(r, QLatin1String("version"))) {
            item.version = r.readElementText().trimmed();
        } else if (isSparkle(r, QLatin1String("releaseNotesLink"))) {
            item.notesLink = r.readElementText().trimmed();
        } else if (isSparkle(r, QLatin1String("channel"))) {
            item.hasChannel = true;
            r.skipCurrentElement();
        } else if (r.namespaceUri().isEmpty() && r.name() == QLatin1String("enclosure")) {
            const QXmlStreamAttributes a = r.attributes();
            item.enclosureShortVersion =
                a.value(Appcast::sparkleNamespace, QStringLiteral("shortVersionString")).toString().trimmed();
            item.enclosureVersion = a.value(Appcast::sparkleNamespace, QStringLiteral("version")).toString().trimmed();
            r.skipCurrentElement();
        } else {
            r.skipCurrentElement();
        }
    }
    return !r.hasError();
}

} // namespace

std::optional<AppVersion> AppVersion::parse(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9}){0,7}$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    AppVersion v;
    v.m_text = text;
    for (const QString& part : text.split(QLatin1Char('.')))
        v.m_parts.append(part.toUInt());
    return v;
}

std::strong_ordering operator<=>(const AppVersion& a, const AppVersion& b)
{
    const qsizetype n = std::max(a.m_parts.size(), b.m_parts.size());
    for (qsizetype i = 0; i < n; ++i) {
        const quint32 x = i < a.m_parts.size() ? a.m_parts[i] : 0;
        const quint32 y = i < b.m_parts.size() ? b.m_parts[i] : 0;
        if (x != y)
            return x <=> y;
    }
    return std::strong_ordering::equal;
}

UpdateCheckResult UpdateCheckResult::failure(const QString& message, const QString& current)
{
    UpdateCheckResult r;
    r.kind = Kind::error;
    r.error = message;
    r.currentVersion = current;
    return r;
}

namespace Appcast {

Parsed parse(const QByteArray& xml)
{
    const auto fail = [](const QString& message) {
        Parsed p;
        p.error = message;
        return p;
    };
    const QString notXml = QStringLiteral("The update feed is not valid XML.");

    QXmlStreamReader r(xml);
    bool sawRoot = false;
    std::optional<Release> newest;
    std::optional<AppVersion> newestVersion;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isDTD()) {
            // A feed has no use for one; its entities are the classic way to blow up a parser.
            return fail(notXml);
        }
        if (!r.isStartElement())
            continue;
        if (!sawRoot) {
            sawRoot = true;
            if (!r.namespaceUri().isEmpty() || r.name() != QLatin1String("rss"))
                return fail(QStringLiteral("The update feed is not an appcast (an RSS document)."));
            continue;
        }
        if (!r.namespaceUri().isEmpty() || r.name() != QLatin1String("item"))
            continue;
        ItemFields item;
        if (!readItem(r, item))
            break;
        if (item.hasChannel)
            continue;
        const QString versionText = item.chosenVersion();
        if (versionText.isEmpty())
            return fail(QStringLiteral("The update feed lists a release without a version."));
        const std::optional<AppVersion> version = AppVersion::parse(versionText);
        if (!version)
            return fail(QStringLiteral("The update feed gives a version Quenvil cannot read: %1.").arg(quoted(versionText)));
        if (!newestVersion || *version > *newestVersion) {
            newestVersion = version;
            newest = Release{versionText, item.link.isEmpty() ? item.notesLink : item.link};
        }
    }
    if (r.hasError())
        return fail(notXml);
    if (!sawRoot)
        return fail(notXml);
    if (!newest)
        return fail(QStringLiteral("The update feed lists no release."));
    Parsed p;
    p.newest = newest;
    return p;
}

UpdateCheckResult evaluate(const QByteArray& xml, const QString& currentVersion)
{
    const std::optional<AppVersion> current = AppVersion::parse(currentVersion);
    if (!current) {
        return UpdateCheckResult::failure(
            QStringLiteral("This build's version %1 cannot be compared.").arg(quoted(currentVersion)), currentVersion);
    }
    const Parsed parsed = parse(xml);
    if (!parsed.newest)
        return UpdateCheckResult::failure(parsed.error, currentVersion);
    UpdateCheckResult r;
    r.currentVersion = currentVersion;
    r.latestVersion = parsed.newest->version;
    if (*AppVersion::parse(parsed.newest->version) > *current) {
        r.kind = UpdateCheckResult::Kind::updateAvailable;
        r.releasePage = openableReleasePage(parsed.newest->link);
    } else {
        r.kind = UpdateCheckResult::Kind::upToDate;
    }
    return r;
}

bool isAllowedFeedAddress(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    return url.scheme() == QLatin1String("http") && HttpExchange::isLoopback(url);
}

bool isAllowedRedirect(const QUrl& url)
{
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

QUrl openableReleasePage(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty())
        return {};
    return url;
}

} // namespace Appcast
