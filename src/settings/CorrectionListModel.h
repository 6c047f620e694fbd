#pragma once

#include "settings/CorrectionList.h"

#include <QAbstractListModel>
#include <QFont>
#include <QRect>

class AppState;

// The Spell Fix list as a model: every correction that passes the search, in list order.
// Store changes are applied in place by row id (an added correction is one inserted row, a
// switched-off built-in one changed row), so the view keeps its scroll position and
// current row; a new search is a new list.
class CorrectionListModel : public QAbstractListModel
{
    Q_OBJECT

  public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
        EnabledRole,
        IsCustomRole,
    };

    explicit CorrectionListModel(AppState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QString search() const { return m_search; }
    void setSearch(const QString& search);

    const CorrectionListRow& rowAt(int i) const { return m_visible.at(i).row; }
    bool isEnabled(int i) const;
    // The row with that id, or -1.
    int indexOf(const QString& id) const;
    QList<CorrectionListRow> rows() const;

  Q_SIGNALS:
    void countChanged(int count);

  private:
    void storeChanged();
    QList<CorrectionListEntry> filtered() const;
    void applyInPlace(const QList<CorrectionListEntry>& next);

    AppState& m_state;
    QString m_search;
    QString m_query;
    QList<CorrectionListEntry> m_all;
    QList<CorrectionListEntry> m_visible;
};

// Where each part of a list line goes; painting and clicks both use it.
struct CorrectionRowGeometry
{
    static constexpr int horizontalPadding = 12;
    static constexpr int verticalPadding = 5;
    static constexpr int spacing = 10;
    static constexpr int wrongWidth = 140;
    static constexpr int checkBoxSide = 14;
    static constexpr int trashSide = 16;

    QRect wrong;
    QRect arrow;
    QRect right;
    QRect capsule;  // custom rows only
    QRect sparkles; // learned custom rows only
    QRect trash;    // custom rows only (shown while hovered)
    QRect checkBox; // built-in rows only

    static CorrectionRowGeometry compute(const QRect& line, const CorrectionListRow& row);
    static int lineHeight();
    static QFont textFont();
    static QFont capsuleFont();
};
