#include "engine/ExpansionHUD.h"

#include "ui/RoundedPanel.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

ExpansionHUD* g_shared = nullptr;

constexpr int kHorizontalPadding = 14;
constexpr int kVerticalPadding = 7;
constexpr int kOuterPadding = 6;
constexpr qreal kTextSize = 12.5;

} // namespace

// Timers of the event loop, each with this object as context, so a destroyed HUD takes
// its pending fades with it.
class ExpansionHUD::EventLoopScheduler : public Scheduler
{
  public:
    EventLoopScheduler() { m_clock.start(); }

    qint64 nowMs() const override { return m_clock.elapsed(); }

    quint64 schedule(int delayMs, std::function<void()> task) override
    {
        const quint64 id = ++m_lastId;
        auto* timer = new QTimer(&m_context);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, &m_context, [this, id, timer, task = std::move(task)] {
            m_timers.remove(id);
            timer->deleteLater();
            task();
        });
        m_timers.insert(id, timer);
        timer->start(std::max(0, delayMs));
        return id;
    }

    void cancel(quint64 id) override
    {
        if (QTimer* timer = m_timers.take(id)) {
            timer->stop();
            timer->deleteLater();
        }
    }

  private:
    QObject m_context;
    QElapsedTimer m_clock;
    QHash<quint64, QTimer*> m_timers;
    quint64 m_lastId = 0;
};

// The pill itself: one line of monospaced text in a capsule, sized to the text.
class ExpansionHUD::Pill : public QWidget
{
  public:
    Pill()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                               Qt::X11BypassWindowManagerHint)
    {
        // Outside the window manager's care: no focus, on every workspace, above
        // full-screen windows, never activated by being shown.
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Quenvil"));
        setFont(Theme::systemFont(kTextSize, QFont::Medium, Theme::FontDesign::Monospaced));
    }

    void setText(const QString& text)
    {
        m_text = text;
        update();
    }

    QSize sizeHint() const override
    {
        // One line, as wide as the text: a newline in a message must not wrap the pill.
        return {naturalTextWidth(font(), singleLine()) + 2 * (kHorizontalPadding + kOuterPadding),
                QFontMetrics(font()).height() + 2 * (kVerticalPadding + kOuterPadding)};
    }

    QRectF capsule() const
    {
        return QRectF(rect()).adjusted(kOuterPadding, kOuterPadding, -kOuterPadding, -kOuterPadding);
    }

    // Without a compositor the transparent corners would show as black: cut them off.
    void updateMask(bool compositing)
    {
        if (compositing) {
            clearMask();
            return;
        }
        QPainterPath path;
        const QRectF c = capsule();
        path.addRoundedRect(c, c.height() / 2, c.height() / 2);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRectF c = capsule();
        QColor fill = Theme::card();
        fill.setAlphaF(0.97f);
        RoundedPanel{c.height() / 2, fill, Theme::borderStrong(), 1}.paint(painter, c);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font());
        painter.setPen(Theme::textPrimary());
        painter.drawText(c, Qt::AlignCenter | Qt::TextSingleLine, singleLine());
    }

  private:
    QString singleLine() const
    {
        QString s = m_text;
        s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        return s;
    }

    QString m_text;
};

ExpansionHUD::ExpansionHUD(QObject* parent) : ExpansionHUD(Options{}, parent) {}

ExpansionHUD::ExpansionHUD(Options options, QObject* parent)
    : QObject(parent), m_compositing(std::move(options.compositing)), m_screens(std::move(options.screens))
{
    if (options.scheduler) {
        m_scheduler = options.scheduler;
    } else {
        m_ownScheduler = std::make_unique<EventLoopScheduler>();
        m_scheduler = m_ownScheduler.get();
    }
    if (!m_screens)
        m_screens = [] { return PopupPlacement::currentScreens(); };
}

ExpansionHUD::~ExpansionHUD()
{
    if (g_shared == this)
        g_shared = nullptr;
    if (m_fadeTimer)
        m_scheduler->cancel(m_fadeTimer);
    if (m_hideTimer)
        m_scheduler->cancel(m_hideTimer);
}

ExpansionHUD* ExpansionHUD::shared()
{
    return g_shared;
}
void ExpansionHUD::setShared(ExpansionHUD* hud)
{
    g_shared = hud;
}

QWidget* ExpansionHUD::panel() const
{
    return m_pill.get();
}

bool ExpansionHUD::isOnScreen() const
{
    return m_pill && m_pill->isVisible();
}

QWidget* ExpansionHUD::ensurePanel()
{
    if (!m_pill)
        m_pill = std::make_unique<Pill>();
    return m_pill.get();
}

bool ExpansionHUD::compositing() const
{
    return m_compositing && m_compositing();
}

void ExpansionHUD::show(const QString& text)
{
    m_text = text;
    ensurePanel();
    m_pill->setText(text);
    const QSize size = m_pill->sizeHint();
    const auto topLeft = PopupPlacement::hudTopLeft(size, m_screens());
    if (!topLeft)
        return;
    m_pill->setGeometry(QRect(*topLeft, size));
    const bool fades = compositing();
    m_pill->updateMask(fades);
    // A pill still fading out comes back from where it is, not from nothing.
    if (!m_pill->isVisible())
        setOpacity(fades ? 0 : 1);
    m_pill->show();
    m_pill->raise();
    if (fades) {
        startFade(1, fadeInMs, false);
    } else {
        stopFade();
        setOpacity(1);
    }
    if (m_hideTimer)
        m_scheduler->cancel(m_hideTimer);
    m_hideTimer = m_scheduler->schedule(holdMs, [this] {
        m_hideTimer = 0;
        fadeOut();
    });
}

void ExpansionHUD::fadeOut()
{
    if (!m_pill)
        return;
    if (compositing()) {
        startFade(0, fadeOutMs, true);
        return;
    }
    stopFade();
    setOpacity(0);
    m_pill->hide();
}

void ExpansionHUD::setOpacity(qreal opacity)
{
    m_opacity = opacity;
    if (m_pill)
        m_pill->setWindowOpacity(opacity);
}

void ExpansionHUD::startFade(qreal to, int durationMs, bool hideAtEnd)
{
    stopFade();
    m_fade = Fade{m_scheduler->nowMs(), m_opacity, to, durationMs, hideAtEnd};
    fadeTick();
}

void ExpansionHUD::stopFade()
{
    if (m_fadeTimer)
        m_scheduler->cancel(m_fadeTimer);
    m_fadeTimer = 0;
}

void ExpansionHUD::fadeTick()
{
    m_fadeTimer = 0;
    const qint64 elapsed = m_scheduler->nowMs() - m_fade.startMs;
    const qreal progress =
        m_fade.durationMs > 0 ? std::clamp(qreal(elapsed) / m_fade.durationMs, 0.0, 1.0) : 1.0;
    setOpacity(progress >= 1 ? m_fade.to : m_fade.from + (m_fade.to - m_fade.from) * progress);
    if (progress >= 1) {
        // A show() during the fade-out replaced this fade; only a finished one that left
        // the pill fully transparent takes it off the screen.
        if (m_fade.hideAtEnd && m_opacity == 0 && m_pill)
            m_pill->hide();
        return;
    }
    const int remaining = int(m_fade.durationMs - elapsed);
    m_fadeTimer = m_scheduler->schedule(std::min(frameMs, remaining), [this] { fadeTick(); });
}
