#include "engine/SuggestionPopup.h"

#include "model/Text.h"
#include "platform/CaretLocator.h"
#include "ui/RoundedPanel.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"
#include "ui/TriggerChip.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {

SuggestionPopup* g_shared = nullptr;

constexpr int kOuterPadding = 6;
constexpr int kHorizontalPadding = 9;
constexpr int kVerticalPadding = 7;
constexpr int kRowSpacing = 2;
constexpr int kChipSpacing = 8;
constexpr qreal kCornerRadius = 9;
constexpr qreal kPreviewSize = 11.5;
// More than a 360-point line can show at any font size the theme uses: longer contents
// are cut before they are measured, so a long snippet costs no more than a short one.
constexpr int kPreviewUnits = 300;

// Characters, for the ordering. Below U+0300 every UTF-16 unit is a character of its own
// except CR LF, so the usual trigger needs no trip through ICU.
int characterCount(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() >= 0x300 || c.unicode() == u'\r')
            return Text::graphemeCount(s);
    return int(s.size());
}

// Code point order (UTF-16 order differs from it only where a surrogate meets a unit
// from U+E000 up).
int compareCodePoints(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x == y)
            continue;
        if (x >= 0xD800 && y >= 0xD800) {
            x = x >= 0xE000 ? char16_t(x - 0x800) : char16_t(x + 0x2000);
            y = y >= 0xE000 ? char16_t(y - 0x800) : char16_t(y + 0x2000);
        }
        return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

struct Pick
{
    int length = 0;
    int row = -1;
};

// The best `count` rows in one pass, without sorting (or copying) the thousands that can
// share a short prefix. Inserting after equals keeps list order among them.
template <typename LengthOf>
int pickRows(const PrefixIndex& index, std::span<const int> rows, Pick* best, int count, LengthOf lengthOf)
{
    int n = 0;
    for (const int row : rows) {
        const Pick candidate{lengthOf(row), row};
        const auto before = [&](const Pick& other) {
            if (candidate.length != other.length)
                return candidate.length < other.length;
            return compareCodePoints(index.entry(row).trigger, index.entry(other.row).trigger) < 0;
        };
        if (n == count && !before(best[n - 1]))
            continue;
        int at = n == count ? n - 1 : n;
        while (at > 0 && before(best[at - 1])) {
            best[at] = best[at - 1];
            --at;
        }
        best[at] = candidate;
        if (n < count)
            ++n;
    }
    return n;
}

// One line of preview text, cut with an ellipsis where the row ends.
class Preview : public QWidget
{
  public:
    Preview()
    {
        setFont(Theme::systemFont(kPreviewSize));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    void setContent(const QString& content)
    {
        QString head = content.left(kPreviewUnits);
        if (head.size() < content.size() && head.back().isHighSurrogate())
            head.chop(1);
        m_text = SuggestionPopup::previewText(head);
        updateGeometry();
        update();
    }

    QSize sizeHint() const override
    {
        return {std::min(naturalTextWidth(font(), m_text), SuggestionPopup::maxListWidth),
                QFontMetrics(font()).height()};
    }
    QSize minimumSizeHint() const override { return {0, QFontMetrics(font()).height()}; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font());
        painter.setPen(Theme::textSecondary());
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fitText(font(), m_text, width()));
    }

  private:
    QString m_text;
};

} // namespace

// The panel: up to six rows of chip and preview on a rounded card.
class SuggestionPopup::List : public QWidget
{
  public:
    List()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                               Qt::X11BypassWindowManagerHint)
    {
        // Outside the window manager's care, like the HUD: showing it must never move the
        // focus away from the text the user is typing.
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_X11NetWmWindowTypeToolTip);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Quenvil"));
        setMaximumWidth(maxListWidth + 2 * kOuterPadding);
        auto* stack = new QVBoxLayout(this);
        stack->setContentsMargins(kOuterPadding + kHorizontalPadding, kOuterPadding + kVerticalPadding,
                                  kOuterPadding + kHorizontalPadding, kOuterPadding + kVerticalPadding);
        stack->setSpacing(kRowSpacing);
        stack->setSizeConstraint(QLayout::SetNoConstraint);
        for (int i = 0; i < maxRows; ++i) {
            Row row;
            row.widget = new QWidget(this);
            auto* line = new QHBoxLayout(row.widget);
            line->setContentsMargins(0, 0, 0, 0);
            line->setSpacing(kChipSpacing);
            row.chip = new TriggerChip(QString(), row.widget);
            row.preview = new Preview;
            line->addWidget(row.chip, 0, Qt::AlignVCenter);
            line->addWidget(row.preview, 1, Qt::AlignVCenter);
            stack->addWidget(row.widget);
            row.widget->hide();
            m_rows[i] = row;
        }
    }

    void setEntries(const QList<SuggestionEntry>& entries)
    {
        for (int i = 0; i < maxRows; ++i) {
            const bool used = i < entries.size();
            if (used) {
                m_rows[i].chip->setText(entries.at(i).trigger);
                m_rows[i].preview->setContent(entries.at(i).content);
            }
            m_rows[i].widget->setVisible(used);
        }
        layout()->invalidate();
        layout()->activate();
    }

    QSize fittingSize() const
    {
        QSize s = layout()->sizeHint();
        s.setWidth(std::min(s.width(), maximumWidth()));
        return s;
    }

    QRectF card() const
    {
        return QRectF(rect()).adjusted(kOuterPadding, kOuterPadding, -kOuterPadding, -kOuterPadding);
    }

    void setCompositing(bool compositing)
    {
        m_shadow = compositing;
        if (compositing) {
            clearMask();
            return;
        }
        // Without a compositor the see-through margin would show black: cut it off.
        QPainterPath path;
        path.addRoundedRect(card(), kCornerRadius, kCornerRadius);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRectF c = card();
        if (m_shadow) {
            // A soft shadow in the margin, a little below the card.
            for (int k = kOuterPadding - 1; k >= 1; --k)
                RoundedPanel{kCornerRadius + k, QColor(0, 0, 0, 8 + 5 * (kOuterPadding - k))}.paint(
                    painter, c.adjusted(-k, -k + 1, k, k + 1));
        }
        QColor fill = Theme::card();
        fill.setAlphaF(0.98f);
        RoundedPanel{kCornerRadius, fill, Theme::borderStrong(), 1}.paint(painter, c);
    }

  private:
    struct Row
    {
        QWidget* widget = nullptr;
        TriggerChip* chip = nullptr;
        Preview* preview = nullptr;
    };
    std::array<Row, maxRows> m_rows;
    bool m_shadow = false;
};

SuggestionPopup::SuggestionPopup(QObject* parent) : SuggestionPopup(Options{}, parent) {}

SuggestionPopup::SuggestionPopup(Options options, QObject* parent)
    : QObject(parent), m_caret(options.caret), m_compositing(std::move(options.compositing)),
      m_screens(std::move(options.screens))
{
    if (!m_screens)
        m_screens = [] { return PopupPlacement::currentScreens(); };
}

SuggestionPopup::~SuggestionPopup()
{
    if (g_shared == this)
        g_shared = nullptr;
}

SuggestionPopup* SuggestionPopup::shared()
{
    return g_shared;
}
void SuggestionPopup::setShared(SuggestionPopup* popup)
{
    g_shared = popup;
}

QWidget* SuggestionPopup::panel() const
{
    return m_list.get();
}

bool SuggestionPopup::compositing() const
{
    return m_compositing && m_compositing();
}

QList<int> SuggestionPopup::topRows(const PrefixIndex& index, std::span<const int> rows, int count)
{
    QList<int> result;
    if (count <= 0)
        return result;
    std::vector<Pick> best(static_cast<size_t>(count));
    const int n = pickRows(index, rows, best.data(), count,
                           [&index](int row) { return characterCount(index.entry(row).trigger); });
    for (int i = 0; i < n; ++i)
        result.append(best[size_t(i)].row);
    return result;
}

QString SuggestionPopup::previewText(const QString& content)
{
    static const QString mark = QStringLiteral(" \u23CE ");
    QString s = content;
    s.replace(QStringLiteral("\r\n"), mark);
    s.replace(QLatin1Char('\n'), mark);
    s.replace(QLatin1Char('\r'), mark);
    return s;
}

void SuggestionPopup::show(const QString& typed, const PrefixIndex& index, std::span<const int> rows)
{
    if (rows.empty()) {
        hide();
        return;
    }
    // Counting characters reads every trigger's text, a cache miss each: with thousands
    // of triggers under a short prefix that is most of the work. So the counts are kept,
    // per index; holding on to the index keeps its address from naming another one.
    if (m_lengths.empty() || &m_lengthsOf.entry(0) != &index.entry(0)) {
        m_lengthsOf = index;
        m_lengths.clear();
    }
    std::array<Pick, maxRows> best;
    const int n = pickRows(index, rows, best.data(), maxRows, [this, &index](int row) {
        if (size_t(row) >= m_lengths.size())
            m_lengths.resize(size_t(row) + 1, -1);
        int& length = m_lengths[size_t(row)];
        if (length < 0)
            length = characterCount(index.entry(row).trigger);
        return length;
    });
    if (n == 0) {
        hide();
        return;
    }
    bool same = n == m_shownCount && typed == m_typed;
    for (int i = 0; same && i < n; ++i)
        same = index.entry(best[size_t(i)].row).trigger == m_shownTriggers[size_t(i)];
    if (same)
        return;
    m_typed = typed;
    m_shownCount = n;
    m_entries.clear();
    for (int i = 0; i < n; ++i) {
        const SuggestionEntry& entry = index.entry(best[size_t(i)].row);
        m_shownTriggers[size_t(i)] = entry.trigger;
        m_entries.append(entry);
    }
    scheduleRedraw();
}

void SuggestionPopup::hide()
{
    const bool visible = m_list && m_list->isVisible();
    if (!visible && m_shownCount == 0)
        return;
    m_shownCount = 0;
    for (QString& t : m_shownTriggers)
        t.clear();
    ++m_generation;
    m_caretPending = false;
    if (visible)
        m_list->hide();
}

void SuggestionPopup::scheduleRedraw()
{
    if (m_redrawQueued)
        return;
    m_redrawQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { redraw(); }, Qt::QueuedConnection);
}

void SuggestionPopup::redraw()
{
    m_redrawQueued = false;
    if (!isShowing())
        return;
    if (!m_list)
        m_list = std::make_unique<List>();
    m_list->setEntries(m_entries);
    const QSize size = m_list->fittingSize();
    if (m_list->isVisible()) {
        // Redrawn in place: the top-left corner stays where the caret put it.
        m_list->setGeometry(QRect(m_list->pos(), size));
        m_list->setCompositing(compositing());
        return;
    }
    m_list->resize(size);
    if (m_caretPending)
        return;
    if (!m_caret) {
        place(std::nullopt);
        return;
    }
    m_caretPending = true;
    const quint64 generation = m_generation;
    m_caret->requestCaretRect(this, [this, generation](std::optional<QRect> caret) {
        if (generation != m_generation)
            return;
        m_caretPending = false;
        if (isShowing())
            place(caret);
    });
}

void SuggestionPopup::place(const std::optional<QRect>& caret)
{
    const QList<PopupPlacement::Screen> screens = m_screens();
    std::optional<QRect> logical;
    if (caret)
        logical = PopupPlacement::fromDevicePixels(*caret, screens);
    const QSize size = m_list->fittingSize();
    const auto topLeft = PopupPlacement::suggestionTopLeft(size, logical, screens);
    if (!topLeft)
        return;
    m_list->setGeometry(QRect(*topLeft, size));
    m_list->setCompositing(compositing());
    m_list->show();
    m_list->raise();
    emit placed();
}
