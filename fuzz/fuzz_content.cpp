// Snippet content: any text renders, within the size budget, in every locale and calendar
// (Gregorian, Buddhist, Islamic, Persian, Japanese), with nested snippets, the clipboard,
// keys, the cursor mark and case adaptation. The clock is pinned to a realistic moment
// that the input shifts by up to a few decades.
//
// Input: byte 0 picks the locale, byte 1 the zone, bytes 2–5 the clock shift, byte 6 the
// snippet flags, then the content (UTF-8); a 0x1E byte in it splits off the clipboard text.

#include "FuzzSupport.h"

#include "engine/ContentRenderer.h"
#include "platform/Clipboard.h"

#include <QTimeZone>

namespace {

class FixedClipboard : public Clipboard
{
  public:
    QString value;
    QString text() const override { return value; }
};

const char* const kLocales[] = {"en_US", "de_DE", "th_TH", "ar_SA", "fa_IR", "ja_JP", "he_IL", "zh_TW", "C"};
const char* const kZones[] = {"Europe/Berlin", "Asia/Riyadh", "Asia/Tehran", "America/St_Johns", "Pacific/Kiritimati", "UTC"};

std::optional<QString> lookup(const QString& trigger)
{
    // A few neighbours to nest: one plain, one with tokens, one that includes itself and
    // one that fans out.
    if (trigger == QLatin1String("a"))
        return QStringLiteral("Alpha {date:EEEE d MMMM y G}");
    if (trigger == QLatin1String("b"))
        return QStringLiteral("{snippet:a}{time+90:HH:mm}{clipboard:title}");
    if (trigger == QLatin1String("self"))
        return QStringLiteral("x{snippet:self}");
    if (trigger == QLatin1String("fan"))
        return QStringLiteral("{snippet:b}").repeated(8);
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    ContentRenderer::Options o;
    o.locale = QString::fromLatin1(kLocales[in.byte() % std::size(kLocales)]);
    o.timeZone = QString::fromLatin1(kZones[in.byte() % std::size(kZones)]);
    // 2026-03-28 12:34:56 UTC, moved by up to ±34 years.
    const qint64 shift = qint64(int32_t(in.u32())) / 2;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1774701296LL + shift, QTimeZone::utc());
    o.clock = [now] { return now; };
    o.lookup = lookup;
    FixedClipboard clipboard;
    o.clipboard = &clipboard;
    const uint8_t flags = in.byte();

    const QByteArray raw = in.rest();
    const qsizetype split = raw.indexOf('\x1e');
    Snippet snippet;
    snippet.content = QString::fromUtf8(split < 0 ? raw : raw.left(split));
    if (split >= 0)
        clipboard.value = QString::fromUtf8(raw.mid(split + 1));
    snippet.ignoreCase = flags & 1;
    snippet.adaptCase = flags & 2;
    const QString typed = (flags & 4) ? QStringLiteral("SIG") : (flags & 8) ? QStringLiteral("Sig") : QStringLiteral("sig");

    const ContentRenderer renderer(o);
    const ContentRenderer::Result r = renderer.renderedContent(snippet, typed);
    // The budget bounds what a rendering adds (case mapping may lengthen it a little).
    FUZZ_CHECK(r.plainText.size() <= 3 * (snippet.content.size() + ContentRenderer::kRenderBudget));
    FUZZ_CHECK(r.cursorBack >= 0);
    for (const ContentRenderer::LiteralRange& l : r.literalRanges)
        FUZZ_CHECK(l.start >= 0 && l.length >= 0 && l.start + l.length <= r.plainText.size());
    (void)ContentRenderer::findAIToken(snippet.content);
    return 0;
}
