#pragma once

#include "model/Models.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// What the inline search shows: the searchable snippets loaded when the panel opens, the
// query, the snippets that match it in library order and the highlighted row. The panel
// reads it and writes only the query; the controller moves the highlight.
//
// The lower-cased texts of every searchable snippet are cached when they are loaded, so a
// keystroke over 10,000 snippets costs substring searches only. Main thread only.
class InlineSearchModel : public QObject
{
    Q_OBJECT

  public:
    explicit InlineSearchModel(QObject* parent = nullptr);

    // The snippets the search may offer, in library order: enabled and not shell commands.
    // Groups play no part: a snippet of a disabled or out-of-scope group is found too.
    static QList<Snippet> searchable(const QList<Snippet>& library);

    // Loads the searchable snippets of `library`, clears the query without filtering,
    // then filters once (every snippet, first row highlighted).
    void load(const QList<Snippet>& library);

    QString query() const { return m_query; }
    // Every assignment filters again and puts the highlight back on the first row.
    void setQuery(const QString& query);

    const QList<Snippet>& all() const { return m_all; }
    const QList<Snippet>& results() const { return m_results; }
    int selectedIndex() const { return m_selectedIndex; }
    // The highlighted snippet, or none when there are no results.
    std::optional<Snippet> selected() const;

    // Recomputes the results from the query: with an empty query every snippet; otherwise
    // those whose own trigger (without a group prefix) or content contains the query, all
    // three lower-cased with the full Unicode mapping. The query is not trimmed.
    void refilter();
    // Moves the highlight by `step`, stopping at the first and the last row.
    void move(int step);

    // The one-line preview of a content: each CR LF, then each LF, then each CR becomes
    // " ⏎ ". Only the start of a long content is looked at; the row elides it anyway.
    static QString previewText(const QString& content);
    // "0 snippets", "1 snippet", "2 snippets".
    static QString countText(int count);
    // What the list says when nothing is listed.
    static QString emptyText(const QString& query);

  Q_SIGNALS:
    void resultsChanged();
    void selectedIndexChanged(int index);

  private:
    QString m_query;
    QList<Snippet> m_source;
    QList<Snippet> m_all;
    QList<QString> m_lowerTriggers;
    QList<QString> m_lowerContents;
    QList<Snippet> m_results;
    QList<int> m_resultRows;
    int m_selectedIndex = 0;
};

// What a key press in the open panel does. Any other key goes on to the search field.
enum class InlineSearchKey
{
    pass,
    dismiss,
    commit,
    down,
    up,
};

// Escape dismisses, Return and the keypad's Enter commit, Down and Up move; modifiers
// make no difference, as none of these keys types anything into the field.
InlineSearchKey inlineSearchKeyFor(int qtKey);

// Where the panel goes: horizontally centred on the screen of the window the user was in,
// with its centre at 62 % of that screen's usable height counted from the bottom (in
// screen coordinates, which run downwards: 38 % from the top).
struct InlineSearchPlacement
{
    static constexpr QSize panelSize{560, 408};

    // The usable area of the screen that holds the centre of `window`; without a window
    // (or with its centre off every screen) the one it overlaps most; failing that the
    // first screen, the primary. Empty when there are no screens.
    static QRect screenFor(const QList<QRect>& availableAreas, const std::optional<QRect>& window);
    static QPoint topLeft(const QRect& availableArea, QSize panel = panelSize);
};

// Whether a committed snippet may be typed 0.2 s after the focus was handed back: only
// into the very window the panel was opened over, still in front, and never into one of
// Quenvil's own windows.
struct InlineSearchTarget
{
    quint64 window = 0;
    QString appKey;

    bool isSet() const { return window != 0; }
    bool admits(quint64 frontWindow, const QString& frontKey, bool frontIsOwn) const
    {
        return isSet() && !frontIsOwn && frontWindow == window && frontKey == appKey;
    }
};
