#pragma once

#include "engine/PopupPlacement.h"
#include "engine/SuggestionDisplay.h"
#include "model/Models.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CaretLocator;
class QWidget;

// The floating list next to the caret of the program in front that shows the triggers
// beginning with what is being typed: the six shortest, each as a trigger chip with a
// one-line preview of its content. It only informs: it never takes the focus and lets
// the mouse through, and the user completes a trigger by typing it.
//
// show() runs inside the keystroke callback, so it only picks the rows and compares them
// with what is on screen; drawing and the question to the accessibility bus for the
// caret happen afterwards on the event loop. Main thread only.
class SuggestionPopup : public QObject, public SuggestionDisplay
{
    Q_OBJECT

  public:
    static constexpr int maxRows = 6;
    static constexpr int maxListWidth = 360;

    struct Options
    {
        // Unset: no caret is ever known, the popup sits near the bottom of the screen.
        CaretLocator* caret = nullptr;
        // Whether a compositing manager runs now. Unset: none.
        std::function<bool()> compositing;
        // Unset: the screens Qt knows.
        std::function<QList<PopupPlacement::Screen>()> screens;
    };

    explicit SuggestionPopup(QObject* parent = nullptr);
    explicit SuggestionPopup(Options options, QObject* parent = nullptr);
    ~SuggestionPopup() override;

    // The instance start-up installed.
    static SuggestionPopup* shared();
    static void setShared(SuggestionPopup* popup);

    void show(const QString& typed, const PrefixIndex& index, std::span<const int> rows) override;
    void hide() override;

    // The rows shown, in order: shorter triggers (in characters) first, equal lengths by
    // trigger in code point order, equal triggers in list order. At most `count`.
    static QList<int> topRows(const PrefixIndex& index, std::span<const int> rows, int count = maxRows);
    // A snippet's content on one line, each line break shown as " ⏎ ".
    static QString previewText(const QString& content);

    // True from a show() until the next hide(), also while the panel waits for the caret.
    bool isShowing() const { return m_shownCount > 0; }
    QString typed() const { return m_typed; }
    QList<SuggestionEntry> entries() const { return m_entries; }
    // The window; created by the first redraw.
    QWidget* panel() const;

  signals:
    // The panel was placed and put on the screen (after the caret question, if any).
    void placed();

  private:
    void scheduleRedraw();
    void redraw();
    void place(const std::optional<QRect>& caret);
    bool compositing() const;

    class List;

    CaretLocator* m_caret = nullptr;
    std::function<bool()> m_compositing;
    std::function<QList<PopupPlacement::Screen>()> m_screens;
    std::unique_ptr<List> m_list;
    // What show() last decided, compared without allocating on every keystroke.
    QString m_typed;
    std::array<QString, maxRows> m_shownTriggers;
    int m_shownCount = 0;
    QList<SuggestionEntry> m_entries;
    PrefixIndex m_lengthsOf;
    std::vector<int> m_lengths;
    bool m_redrawQueued = false;
    bool m_caretPending = false;
    // Bumped by hide(): an answer to an older caret question is dropped.
    quint64 m_generation = 0;
};
