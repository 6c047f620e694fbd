#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

// The date and time side of one rendering: one moment, shared by every date token of
// the rendering, formatted for the user's locale and time zone with Unicode (ICU) date
// patterns, the patterns users write. Formatters are made on first use.
class DateTokens
{
  public:
    enum class Style
    {
        Date,
        Time,
        DateTime
    };
    enum class Unit
    {
        Minute,
        Hour,
        Day,
        Week,
        Month,
        Year
    };

    // `locale` and `timeZone` empty: the environment's (see environmentLocale(); the
    // zone from TZ or /etc/localtime).
    DateTokens(const QDateTime& now, const QString& locale, const QString& timeZone);
    ~DateTokens();

    // Milliseconds since the epoch.
    double now() const { return m_now; }

    // Medium date, short time, or both.
    QString format(double moment, Style style);
    // A Unicode date pattern; the empty string when the pattern is one ICU rejects.
    QString format(double moment, const QString& pattern);
    // Now moved by `amount` units in the user's calendar (a day keeps the wall-clock
    // time across a daylight-saving change; a month ends on the last day of a shorter
    // month). Now itself when the calendar cannot apply the offset, and when the result
    // would leave the years 1 to 9999: such offsets are far past any date a snippet means,
    // some calendars take long to add them, and the dates they gave were wrong anyway.
    double offset(Unit unit, qint64 amount);
    // The largest offset in each unit that can stay within the years 1 to 9999.
    static qint64 maxOffset(Unit unit);

    // The locale name dates are written in: LC_ALL, else LC_TIME, else LANG. Its encoding
    // and modifier are dropped when it is used; "C", "POSIX" or nothing mean en_US_POSIX.
    static QString environmentLocale();

  private:
    struct Impl;
    struct FormatterCache;
    static FormatterCache& cache();
    std::unique_ptr<Impl> d;
    QString m_key;
    double m_now;
};
