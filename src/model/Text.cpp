#include "model/Text.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <memory>

namespace Text {

namespace {

// Plain ASCII without CR is one cluster per code unit; most triggers take this path.
bool isSimpleAscii(const QString& s)
{
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if (u >= 0x7F || u == '\r')
            return false;
    }
    return true;
}

// One iterator per thread: creating one costs far more than using it.
icu::BreakIterator* clusterIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> b(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            b.reset();
        return b;
    }();
    return it.get();
}

template <typename Fn>
void forEachBoundary(const QString& s, Fn&& fn)
{
    icu::BreakIterator* it = clusterIterator();
    if (!it) {
        for (int i = 1; i <= s.size(); ++i)
            if (!fn(i))
                return;
        return;
    }
    icu::UnicodeString text(false, reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
    it->setText(text);
    it->first();
    for (int32_t b = it->next(); b != icu::BreakIterator::DONE; b = it->next()) {
        if (!fn(int(b)))
            break;
    }
    // Do not leave the iterator pointing at `text`, which dies here.
    it->setText(icu::UnicodeString());
}

QString mapCase(const QString& s, bool toLower)
{
    if (s.isEmpty())
        return s;
    if (isSimpleAscii(s))
        return toLower ? s.toLower() : s.toUpper();
    QString out(s.size() + 8, Qt::Uninitialized);
    for (int round = 0; round < 2; ++round) {
        UErrorCode status = U_ZERO_ERROR;
        const auto fn = toLower ? u_strToLower : u_strToUpper;
        const int32_t n = fn(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                             reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()), "", &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(n);
            continue;
        }
        if (U_FAILURE(status))
            return toLower ? s.toLower() : s.toUpper();
        out.resize(n);
        return out;
    }
    return toLower ? s.toLower() : s.toUpper();
}

bool isSpaceOrTab(char32_t c)
{
    return c == U'\t' || u_charType(UChar32(c)) == U_SPACE_SEPARATOR;
}

template <typename Pred>
QString trimBy(const QString& s, Pred pred)
{
    int start = 0;
    int end = int(s.size());
    while (start < end) {
        char32_t c = s.at(start).unicode();
        int w = 1;
        if (QChar::isHighSurrogate(c) && start + 1 < end && s.at(start + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s.at(start), s.at(start + 1));
            w = 2;
        }
        if (!pred(c))
            break;
        start += w;
    }
    while (end > start) {
        char32_t c = s.at(end - 1).unicode();
        int w = 1;
        if (QChar::isLowSurrogate(c) && end - 2 >= start && s.at(end - 2).isHighSurrogate()) {
            c = QChar::surrogateToUcs4(s.at(end - 2), s.at(end - 1));
            w = 2;
        }
        if (!pred(c))
            break;
        end -= w;
    }
    return s.mid(start, end - start);
}

} // namespace

int graphemeCount(const QString& s)
{
    if (isSimpleAscii(s))
        return int(s.size());
    int n = 0;
    forEachBoundary(s, [&](int) {
        ++n;
        return true;
    });
    return n;
}

QStringList graphemes(const QString& s)
{
    QStringList out;
    if (isSimpleAscii(s)) {
        out.reserve(s.size());
        for (const QChar c : s)
            out.append(QString(c));
        return out;
    }
    int prev = 0;
    forEachBoundary(s, [&](int b) {
        out.append(s.mid(prev, b - prev));
        prev = b;
        return true;
    });
    return out;
}

QVarLengthArray<int, 64> clusterEnds(const QString& s)
{
    QVarLengthArray<int, 64> out;
    if (isSimpleAscii(s)) {
        for (int i = 1; i <= s.size(); ++i)
            out.append(i);
        return out;
    }
    forEachBoundary(s, [&](int b) {
        out.append(b);
        return true;
    });
    return out;
}

QString leftGraphemes(const QString& s, int n)
{
    if (n <= 0)
        return {};
    if (isSimpleAscii(s))
        return s.left(n);
    int end = int(s.size());
    int seen = 0;
    forEachBoundary(s, [&](int b) {
        if (++seen == n) {
            end = b;
            return false;
        }
        return true;
    });
    return s.left(end);
}

QString rightGraphemes(const QString& s, int n)
{
    if (n <= 0)
        return {};
    if (isSimpleAscii(s))
        return s.right(n);
    const int total = graphemeCount(s);
    if (n >= total)
        return s;
    int start = 0;
    int seen = 0;
    forEachBoundary(s, [&](int b) {
        if (++seen == total - n) {
            start = b;
            return false;
        }
        return true;
    });
    return s.mid(start);
}

QString lower(const QString& s) { return mapCase(s, true); }
QString upper(const QString& s) { return mapCase(s, false); }

QString trimSpacesAndTabs(const QString& s) { return trimBy(s, isSpaceOrTab); }

QString trimWhitespace(const QString& s)
{
    return trimBy(s, [](char32_t c) { return u_isUWhiteSpace(UChar32(c)) != 0; });
}

char32_t firstScalar(QStringView s)
{
    if (s.isEmpty())
        return 0;
    if (s.size() >= 2 && s.at(0).isHighSurrogate() && s.at(1).isLowSurrogate())
        return QChar::surrogateToUcs4(s.at(0), s.at(1));
    return s.at(0).unicode();
}

bool isLetter(QStringView s) { return !s.isEmpty() && u_isUAlphabetic(UChar32(firstScalar(s))); }

bool isUppercase(QStringView s) { return !s.isEmpty() && u_isUUppercase(UChar32(firstScalar(s))); }
bool isLowercase(QStringView s) { return !s.isEmpty() && u_isULowercase(UChar32(firstScalar(s))); }

bool isNumber(QStringView s)
{
    if (s.isEmpty())
        return false;
    return u_getIntPropertyValue(UChar32(firstScalar(s)), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

} // namespace Text
