#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <compare>
#include <optional>

// A release version as the update feed and this build write it: numbers separated by dots
// ("1", "2.10.3"), compared number by number, a missing part counting as zero (1.2 == 1.2.0).
// Anything else is not a version: a feed we cannot compare must never read as "up to date".
class AppVersion
{
  public:
    static std::optional<AppVersion> parse(const QString& text);

    QString text() const { return m_text; }

    friend std::strong_ordering operator<=>(const AppVersion& a, const AppVersion& b);
    friend bool operator==(const AppVersion& a, const AppVersion& b) { return (a <=> b) == 0; }

  private:
    QList<quint32> m_parts;
    QString m_text;
};

// What one check found.
struct UpdateCheckResult
{
    enum class Kind
    {
        upToDate,
        updateAvailable,
        error,
    };

    Kind kind = Kind::error;
    QString currentVersion;
    // The newest version the feed lists (up to date and update available).
    QString latestVersion;
    // Where the newer version is described; only ever an https address, empty otherwise.
    QUrl releasePage;
    // Plain English, for the dialog (error only).
    QString error;

    static UpdateCheckResult failure(const QString& message, const QString& current = {});
};

// The RSS "appcast" an update feed serves: one <item> per release, its version in
// <sparkle:shortVersionString> or <sparkle:version> (or the same attributes on its
// <enclosure>), its page in <link> or <sparkle:releaseNotesLink>. Items of a named
// <sparkle:channel> are test releases and are left out. Nothing in it is downloaded.
namespace Appcast {

inline const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

struct Release
{
    QString version;
    QString link; // as written, not yet checked
};

struct Parsed
{
    std::optional<Release> newest;
    QString error; // set when newest is not
};

// The newest release in the feed. Malformed XML, a document type declaration, a root
// other than <rss>, no release, or a release whose version is missing or unreadable are
// errors.
Parsed parse(const QByteArray& xml);

// Compares the feed's newest release with `currentVersion`.
UpdateCheckResult evaluate(const QByteArray& xml, const QString& currentVersion);

// The feed may be read from an https address, or over plain http from this computer only.
bool isAllowedFeedAddress(const QUrl& url);
// A redirect is followed only to another https address.
bool isAllowedRedirect(const QUrl& url);
// The release page, when it is an https address with a host; empty otherwise.
QUrl openableReleasePage(const QString& link);

} // namespace Appcast
