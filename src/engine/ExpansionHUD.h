#pragma once

#include "engine/PopupPlacement.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

// The small status pill near the bottom of the primary screen that confirms what the
// typing engine just did (or why it did nothing). It never takes the focus and lets the
// mouse through, so showing it never disturbs the program being typed into. Each show()
// keeps it up until 1.2 s after the latest call; with a compositor it fades in over
// 0.12 s and out over 0.35 s, without one it appears and disappears at once (an X server
// alone cannot blend a window). Main thread only.
class ExpansionHUD : public QObject
{
    Q_OBJECT

  public:
    // The HUD's sense of time, so that tests can step through a fade exactly.
    class Scheduler
    {
      public:
        virtual ~Scheduler() = default;
        virtual qint64 nowMs() const = 0;
        // Runs `task` once after `delayMs` unless cancelled first. Ids are never 0.
        virtual quint64 schedule(int delayMs, std::function<void()> task) = 0;
        virtual void cancel(quint64 id) = 0;
    };

    struct Options
    {
        // Unset: timers of the event loop.
        Scheduler* scheduler = nullptr;
        // Whether a compositing manager runs now. Unset: none.
        std::function<bool()> compositing;
        // Unset: the screens Qt knows.
        std::function<QList<PopupPlacement::Screen>()> screens;
    };

    static constexpr int fadeInMs = 120;
    static constexpr int holdMs = 1200;
    static constexpr int fadeOutMs = 350;
    static constexpr int frameMs = 16;

    explicit ExpansionHUD(QObject* parent = nullptr);
    explicit ExpansionHUD(Options options, QObject* parent = nullptr);
    ~ExpansionHUD() override;

    // The instance start-up installed.
    static ExpansionHUD* shared();
    static void setShared(ExpansionHUD* hud);

    // Shows `text` on one line and restarts the countdown. Without a screen only the text
    // is updated.
    void show(const QString& text);

    QString text() const { return m_text; }
    bool isOnScreen() const;
    qreal opacity() const { return m_opacity; }
    // The window that carries the pill; created by the first show().
    QWidget* panel() const;

  private:
    struct Fade
    {
        qint64 startMs = 0;
        qreal from = 0;
        qreal to = 0;
        int durationMs = 0;
        bool hideAtEnd = false;
    };

    QWidget* ensurePanel();
    bool compositing() const;
    void setOpacity(qreal opacity);
    void startFade(qreal to, int durationMs, bool hideAtEnd);
    void stopFade();
    void fadeTick();
    void fadeOut();

    class Pill;
    class EventLoopScheduler;

    std::unique_ptr<EventLoopScheduler> m_ownScheduler;
    Scheduler* m_scheduler = nullptr;
    std::function<bool()> m_compositing;
    std::function<QList<PopupPlacement::Screen>()> m_screens;
    std::unique_ptr<Pill> m_pill;
    QString m_text;
    qreal m_opacity = 0;
    Fade m_fade;
    quint64 m_fadeTimer = 0;
    quint64 m_hideTimer = 0;
};
