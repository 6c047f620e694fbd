#pragma once

#include <QObject>
#include <QString>

#include <optional>

// Which message a status line shows, and whether a clearing task that comes due may still
// clear it. Each message gets its own generation: only the task of the message on show clears
// it, so a newer message, identical or not, keeps its full time.
class StatusLineState
{
  public:
    // Shows `text`; returns the generation its clearing task must present.
    quint64 post(const QString& text);
    // The clearing task of generation `generation` came due; true when it cleared the line.
    bool expire(quint64 generation);
    const std::optional<QString>& text() const { return m_text; }

  private:
    std::optional<QString> m_text;
    quint64 m_generation = 0;
};

// A status line that clears itself `durationMs` after each message.
class TransientStatus : public QObject
{
    Q_OBJECT

  public:
    explicit TransientStatus(int durationMs = 5000, QObject* parent = nullptr);

    void show(const QString& text);
    const std::optional<QString>& text() const { return m_state.text(); }

  signals:
    void changed();

  private:
    StatusLineState m_state;
    int m_durationMs;
};
