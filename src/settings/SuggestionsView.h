#pragma once

#include "ai/AIAccess.h"
#include "ai/LearnedCandidates.h"
#include "settings/SuggestionsLogic.h"

#include <QAbstractButton>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QUuid>
#include <QWidget>

#include <functional>

class AccentToggle;
class AIVetter;
class AppState;
class Card;
class CandidateVetting;
class LearningEngine;
class OnDeviceModel;
class PhraseTemplates;
class PillButton;
class QButtonGroup;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class ThemedTextField;

// A row that lights up faintly while the pointer is over it.
class HoverRow : public QWidget
{
    Q_OBJECT

  public:
    explicit HoverRow(qreal hoverAlpha, QWidget* parent = nullptr);
    bool isHovering() const { return m_hovering; }
    void setHovering(bool hovering);

  Q_SIGNALS:
    void hoveringChanged(bool hovering);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal m_hoverAlpha;
    bool m_hovering = false;
};

// A borderless symbol button (the watching rows' cross). It can be kept out of sight until
// its row is hovered; it still takes the keyboard focus, and shows itself while it has it.
class RevealedSymbolButton : public QAbstractButton
{
    Q_OBJECT

  public:
    RevealedSymbolButton(const QString& symbol, qreal size, const QColor& color, const QString& name,
                         QWidget* parent = nullptr);
    void setRevealed(bool revealed);
    bool isRevealed() const { return m_revealed; }
    bool isShowing() const { return m_revealed || hasFocus(); }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QString m_symbol;
    qreal m_size;
    QColor m_color;
    bool m_revealed = true;
};

// "seen ×N" in a capsule.
class CountChip : public QWidget
{
    Q_OBJECT

  public:
    explicit CountChip(int count, QWidget* parent = nullptr);
    void setCount(int count);
    QString text() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_count = 0;
};

// The AI's verdict in a tinted capsule.
class AIBadge : public QWidget
{
    Q_OBJECT

  public:
    explicit AIBadge(AIVerdict verdict, QWidget* parent = nullptr);
    void setVerdict(AIVerdict verdict);
    AIVerdict verdict() const { return m_verdict; }
    QString label() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    AIVerdict m_verdict;
};

// A typo the user fixed by hand at least twice.
class CorrectionSuggestionRow : public HoverRow
{
    Q_OBJECT

  public:
    explicit CorrectionSuggestionRow(const CorrectionCandidate& candidate, QWidget* parent = nullptr);
    void setCandidate(const CorrectionCandidate& candidate);
    const CorrectionCandidate& candidate() const { return m_candidate; }

    PillButton* acceptButton() const { return m_accept; }
    PillButton* dismissButton() const { return m_dismiss; }
    AIBadge* badge() const { return m_badge; }
    CountChip* countChip() const { return m_count; }
    qreal opacity() const;

  Q_SIGNALS:
    void accepted(const CorrectionCandidate& candidate);
    void dismissed(const CorrectionCandidate& candidate);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CorrectionCandidate m_candidate;
    QLabel* m_wrong = nullptr;
    QLabel* m_right = nullptr;
    CountChip* m_count = nullptr;
    AIBadge* m_badge = nullptr;
    PillButton* m_accept = nullptr;
    PillButton* m_dismiss = nullptr;
};

// A phrase the user typed again: its text (or template), a trigger to give it, and the
// buttons to make it a snippet or let it go.
class PhraseSuggestionRow : public HoverRow
{
    Q_OBJECT

  public:
    struct Context
    {
        QString defaultTrigger;
        bool canTemplate = false;
        // Whether an active snippet already fires on a trigger.
        std::function<bool(const QString&)> isTaken;
        std::function<SuggestionsLogic::TriggerProblem(const QString&)> problem;
    };

    PhraseSuggestionRow(const PhraseCandidate& candidate, const Context& context, QWidget* parent = nullptr);
    void setCandidate(const PhraseCandidate& candidate, const Context& context);
    const PhraseCandidate& candidate() const { return m_candidate; }

    QString trigger() const;
    bool useTemplate() const { return m_useTemplate; }
    void setUseTemplate(bool useTemplate);
    QString chosenContent() const;
    SuggestionsLogic::TemplateControl templateControl() const;

    ThemedTextField* triggerField() const { return m_trigger; }
    QLabel* contentLabel() const { return m_content; }
    QLabel* problemLabel() const { return m_problem; }
    PillButton* acceptButton() const { return m_accept; }
    PillButton* dismissButton() const { return m_dismiss; }
    QAbstractButton* makeTemplateButton() const { return m_makeTemplate; }
    QAbstractButton* literalButton() const;
    QAbstractButton* templateButton() const;
    AIBadge* badge() const { return m_badge; }
    qreal opacity() const;

    // Runs "Add snippet" as a click does.
    void accept();

  Q_SIGNALS:
    void accepted(const PhraseCandidate& candidate, const QString& trigger, const QString& content);
    void templatize(const PhraseCandidate& candidate);
    void dismissed(const PhraseCandidate& candidate);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void refresh();
    void showTrigger();

    PhraseCandidate m_candidate;
    Context m_context;
    TriggerField m_field;
    bool m_useTemplate = true;

    QLabel* m_content = nullptr;
    CountChip* m_count = nullptr;
    AIBadge* m_badge = nullptr;
    QAbstractButton* m_makeTemplate = nullptr;
    QWidget* m_picker = nullptr;
    QButtonGroup* m_pickerGroup = nullptr;
    QLabel* m_problem = nullptr;
    ThemedTextField* m_trigger = nullptr;
    PillButton* m_accept = nullptr;
    PillButton* m_dismiss = nullptr;
};

// A candidate seen once, still below the threshold.
class WatchingRow : public HoverRow
{
    Q_OBJECT

  public:
    WatchingRow(QWidget* parent = nullptr);
    void set(const QString& left, const std::optional<QString>& right, const QString& detail);
    QString leftText() const;
    QString detailText() const;
    RevealedSymbolButton* dismissButton() const { return m_dismiss; }

  Q_SIGNALS:
    void dismissed();

  private:
    QLabel* m_left = nullptr;
    QWidget* m_arrow = nullptr;
    QLabel* m_right = nullptr;
    QLabel* m_detail = nullptr;
    RevealedSymbolButton* m_dismiss = nullptr;
};

// The Suggestions page: what learning picked up from the user's typing, to accept or
// dismiss, the AI vetting of it, and the candidates still being watched. It owns no data:
// the lists and actions are the learning engine's and the vetting's, the settings the
// store's. Rows are keyed by candidate id and updated in place, so a trigger being typed
// survives changes to other rows.
class SuggestionsView : public QWidget
{
    Q_OBJECT

  public:
    // `ai` answers whether the on-device model can be used now; `onDevice`, when given,
    // redraws the vet button as that changes.
    SuggestionsView(AppState& state, LearningEngine& learning, AIVetter& vetter, CandidateVetting& vetting,
                    PhraseTemplates& templates, AIAccess ai, OnDeviceModel* onDevice = nullptr,
                    QWidget* parent = nullptr);

    PillButton* vetButton() const { return m_vetButton; }
    QLabel* errorLabel() const { return m_error; }
    Card* learningOffCard() const { return m_learningOff; }
    Card* emptyState() const { return m_empty; }
    QLabel* correctionsCaption() const { return m_correctionsCaption; }
    QLabel* phrasesCaption() const { return m_phrasesCaption; }
    QLabel* watchingCaption() const { return m_watchingCaption; }
    QLabel* footerLabel() const { return m_footer; }
    PillButton* clearButton() const { return m_clear; }
    QScrollArea* scrollArea() const { return m_scroll; }

    // Rows in the order shown.
    QList<CorrectionSuggestionRow*> correctionRows() const;
    QList<PhraseSuggestionRow*> phraseRows() const;
    QList<WatchingRow*> watchingRows() const;
    CorrectionSuggestionRow* correctionRow(const QUuid& id) const { return m_correctionRows.value(id); }
    PhraseSuggestionRow* phraseRow(const QUuid& id) const { return m_phraseRows.value(id); }

    // A template request is under way for that candidate.
    bool isTemplating(const QUuid& id) const { return m_templating.contains(id); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void refreshHeader();
    void refreshLists();
    void startVetting();
    void makeTemplate(const PhraseCandidate& candidate);
    PhraseSuggestionRow::Context contextFor(const PhraseCandidate& candidate) const;

    AppState& m_state;
    LearningEngine& m_learning;
    AIVetter& m_vetter;
    CandidateVetting& m_vetting;
    PhraseTemplates& m_templates;
    AIAccess m_ai;
    QPointer<OnDeviceModel> m_onDevice;

    PillButton* m_vetButton = nullptr;
    QLabel* m_error = nullptr;
    Card* m_learningOff = nullptr;
    AccentToggle* m_learningToggle = nullptr;
    QScrollArea* m_scroll = nullptr;
    Card* m_empty = nullptr;
    QLabel* m_correctionsCaption = nullptr;
    QWidget* m_correctionsBox = nullptr;
    QVBoxLayout* m_correctionsLayout = nullptr;
    QLabel* m_phrasesCaption = nullptr;
    QWidget* m_phrasesBox = nullptr;
    QVBoxLayout* m_phrasesLayout = nullptr;
    QLabel* m_watchingCaption = nullptr;
    QWidget* m_watchingBox = nullptr;
    QVBoxLayout* m_watchingLayout = nullptr;
    QLabel* m_footer = nullptr;
    PillButton* m_clear = nullptr;

    QHash<QUuid, CorrectionSuggestionRow*> m_correctionRows;
    QHash<QUuid, PhraseSuggestionRow*> m_phraseRows;
    QHash<QString, WatchingRow*> m_watchingRows;
    QSet<QUuid> m_templating;
};
