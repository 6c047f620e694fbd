#pragma once

#include "app/InlineSearchModel.h"
#include "ui/FloatingPanel.h"

#include <QPointer>

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class InlineSearchResults;

// The inline search panel: a search field, the matching snippets (trigger chip, one-line
// preview, the return glyph on the highlighted row) and a strip of key hints with the
// result count, drawn as one rounded card of 560 × 408. It writes the query into the model
// and reports keys, a clicked row and the loss of the focus; InlineSearchController acts.
class InlineSearchPanel : public FloatingPanel
{
    Q_OBJECT

  public:
    static constexpr int searchBarHeight = 48;
    static constexpr int listHeight = 326;
    static constexpr int footerHeight = 32;
    static constexpr int focusDelayMs = 50;

    explicit InlineSearchPanel(InlineSearchModel& model, QWidget* parent = nullptr);
    ~InlineSearchPanel() override;

    QLineEdit* searchField() const { return m_field; }
    QListView* listView() const { return m_list; }
    QLabel* emptyLabel() const { return m_emptyLabel; }
    QLabel* countLabel() const { return m_count; }
    // The empty state is shown instead of the list.
    bool showsEmptyState() const;

    // Shows the panel at `topLeft`, raised and active; the field takes the focus a
    // moment later.
    void showAt(const QPoint& topLeft);

  signals:
    void keyAction(InlineSearchKey key);
    // A row was clicked: that row's snippet, highlighted or not.
    void rowClicked(const Snippet& snippet);
    // The panel had the focus and lost it (the user clicked elsewhere).
    void deactivated();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void updateFromModel();
    void followSelection(int index);

    InlineSearchModel& m_model;
    InlineSearchResults* m_results = nullptr;
    QLineEdit* m_field = nullptr;
    QStackedWidget* m_stack = nullptr;
    QListView* m_list = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QLabel* m_count = nullptr;
    bool m_wasActive = false;
};
