#include "engine/DateTokens.h"

#include <QRegularExpression>

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <limits>

namespace {

icu::UnicodeString toIcu(const QString& s)
{
    return icu::UnicodeString(reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
}

QString fromIcu(const icu::UnicodeString& s)
{
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

icu::Locale makeLocale(const QString& requested)
{
    QString name = requested.isEmpty() ? DateTokens::environmentLocale() : requested;
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        name.truncate(cut);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        name = QStringLiteral("en_US_POSIX");
    icu::Locale locale = icu::Locale::createCanonical(name.toLatin1().constData());
    return locale.isBogus() ? icu::Locale("en_US_POSIX") : locale;
}

icu::TimeZone* makeZone(const QString& id)
{
    if (!id.isEmpty()) {
        icu::TimeZone* zone = icu::TimeZone::createTimeZone(toIcu(id));
        if (zone && *zone != icu::TimeZone::getUnknown())
            return zone;
        delete zone;
    }
    return icu::TimeZone::createDefault();
}

} // namespace

struct DateTokens::Impl
{
    icu::Locale locale;
    std::unique_ptr<icu::TimeZone> zone;
    std::unique_ptr<icu::DateFormat> styles[3];
    std::unique_ptr<icu::SimpleDateFormat> patterned;
    bool patternedFailed = false;
    std::unique_ptr<icu::Calendar> calendar;
    bool calendarFailed = false;
};

// Making ICU formatters costs far more than using them, and an expansion with a date sits
// on the keystroke's path: the formatters of the last rendering are kept for the next one
// with the same locale and zone.
struct DateTokens::FormatterCache
{
    QString key;
    std::unique_ptr<DateTokens::Impl> impl;
};

DateTokens::FormatterCache& DateTokens::cache()
{
    thread_local FormatterCache c;
    return c;
}

DateTokens::DateTokens(const QDateTime& now, const QString& locale, const QString& timeZone)
    : m_now(double(now.toMSecsSinceEpoch()))
{
    m_key = locale + QChar(0x1F) + timeZone + QChar(0x1F) + environmentLocale() + QChar(0x1F) +
            qEnvironmentVariable("TZ");
    FormatterCache& c = cache();
    if (c.impl && c.key == m_key) {
        d = std::move(c.impl);
        return;
    }
    d = std::make_unique<Impl>();
    d->locale = makeLocale(locale);
    d->zone.reset(makeZone(timeZone));
}

DateTokens::~DateTokens()
{
    FormatterCache& c = cache();
    c.key = m_key;
    c.impl = std::move(d);
}

QString DateTokens::environmentLocale()
{
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const QString v = qEnvironmentVariable(var);
        if (!v.isEmpty())
            return v;
    }
    return QStringLiteral("en_US_POSIX");
}

QString DateTokens::format(double moment, Style style)
{
    std::unique_ptr<icu::DateFormat>& f = d->styles[int(style)];
    if (!f) {
        switch (style) {
        case Style::Date:
            f.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, d->locale));
            break;
        case Style::Time:
            f.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, d->locale));
            break;
        case Style::DateTime:
            f.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort,
                                                            d->locale));
            break;
        }
        if (!f)
            return QString();
        f->setTimeZone(*d->zone);
    }
    icu::UnicodeString out;
    UErrorCode status = U_ZERO_ERROR;
    f->format(moment, out, nullptr, status);
    return U_FAILURE(status) ? QString() : fromIcu(out);
}

QString DateTokens::format(double moment, const QString& pattern)
{
    if (!d->patterned && !d->patternedFailed) {
        UErrorCode status = U_ZERO_ERROR;
        d->patterned = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(), d->locale, status);
        if (U_FAILURE(status)) {
            d->patterned.reset();
            d->patternedFailed = true;
        } else {
            d->patterned->setTimeZone(*d->zone);
        }
    }
    if (!d->patterned)
        return QString();
    d->patterned->applyPattern(toIcu(pattern));
    icu::UnicodeString out;
    UErrorCode status = U_ZERO_ERROR;
    d->patterned->format(moment, out, nullptr, status);
    // ICU stops at the first letter it does not know and reports it; half a date is no
    // better than none.
    return U_FAILURE(status) ? QString() : fromIcu(out);
}

qint64 DateTokens::maxOffset(Unit unit)
{
    // 10,000 years in each unit, rounded up; the result is checked against the range after.
    switch (unit) {
    case Unit::Minute:
        return std::numeric_limits<int32_t>::max(); // the calendar's own limit, about 4,000 years
    case Unit::Hour:
        return 87'660'000;
    case Unit::Day:
        return 3'652'500;
    case Unit::Week:
        return 521'800;
    case Unit::Month:
        return 120'000;
    case Unit::Year:
        return 10'000;
    }
    return 0;
}

double DateTokens::offset(Unit unit, qint64 amount)
{
    // Gregorian 0001-01-01T00:00:00Z and 9999-12-31T23:59:59.999Z.
    constexpr double kFirst = -62135596800000.0;
    constexpr double kLast = 253402300799999.0;
    if (amount > maxOffset(unit) || amount < -maxOffset(unit))
        return m_now;
    if (!d->calendar && !d->calendarFailed) {
        UErrorCode status = U_ZERO_ERROR;
        d->calendar.reset(icu::Calendar::createInstance(d->zone->clone(), d->locale, status));
        if (U_FAILURE(status)) {
            d->calendar.reset();
            d->calendarFailed = true;
        }
    }
    if (!d->calendar)
        return m_now;
    UCalendarDateFields field = UCAL_MINUTE;
    switch (unit) {
    case Unit::Minute:
        field = UCAL_MINUTE;
        break;
    case Unit::Hour:
        field = UCAL_HOUR_OF_DAY;
        break;
    case Unit::Day:
        field = UCAL_DATE;
        break;
    case Unit::Week:
        field = UCAL_WEEK_OF_YEAR;
        break;
    case Unit::Month:
        field = UCAL_MONTH;
        break;
    case Unit::Year:
        field = UCAL_YEAR;
        break;
    }
    UErrorCode status = U_ZERO_ERROR;
    d->calendar->setTime(m_now, status);
    d->calendar->add(field, int32_t(amount), status);
    const double t = d->calendar->getTime(status);
    return U_FAILURE(status) || t < kFirst || t > kLast ? m_now : t;
}
