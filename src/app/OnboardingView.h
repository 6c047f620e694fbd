#pragma once

#include "app/OnboardingFlow.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class AppState;
class Card;
class PillButton;
class QLabel;
class QPlainTextEdit;
class QVBoxLayout;
class ThemedTextField;

// The first-run tour, shown as a sheet over the settings window: welcome, the X11
// requirement with its live status, a practice editor where a trigger really expands, and
// a form for the user's first snippet. Each presentation starts again at the first page;
// finishing records "didCompleteOnboarding" and clears the store's `showOnboarding`, which
// makes the settings window close the sheet.
class OnboardingView : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int sheetWidth = 540;
    static constexpr int sheetHeight = 600;

    // `notGrantedReason` says why typing cannot be reached here (the capability probe's
    // sentence); unset or empty: the general explanation.
    explicit OnboardingView(AppState& state, std::function<QString()> notGrantedReason = {},
                            QWidget* parent = nullptr);
    ~OnboardingView() override;

    // True while the practice editor of a tour on screen has the keyboard focus: the one
    // field of Quenvil's own where typing is expanded.
    static bool practiceEditorHasFocus();

    const OnboardingFlow& flow() const { return m_flow; }
    int step() const { return m_flow.step(); }
    QWidget* currentPage() const { return m_page; }
    QString progressCaption() const;
    int filledDots() const;
    // The practice editor while the try-it page is shown.
    QPlainTextEdit* practiceEditor() const;
    // Every symbol the tour draws (each has a drawing; a test holds that).
    static QStringList symbolNames();
    static bool canDraw(const QString& symbol);

  private:
    void showStep();
    QWidget* buildWelcomePage();
    QWidget* buildPermissionPage();
    QWidget* buildTryItPage();
    QWidget* buildMakeItYoursPage();
    void refreshPermission();
    void refreshTryIt();
    void refreshMakeItYours();

    AppState& m_state;
    std::function<QString()> m_notGrantedReason;
    OnboardingFlow m_flow;

    class ProgressDots* m_dots = nullptr;
    QLabel* m_caption = nullptr;
    QVBoxLayout* m_pageHost = nullptr;
    QPointer<QWidget> m_page;

    // Controls of the page on screen; null on other pages.
    class OnboardingSymbol* m_shield = nullptr;
    QWidget* m_grantedRow = nullptr;
    QWidget* m_waitingRow = nullptr;
    QLabel* m_permissionHint = nullptr;
    PillButton* m_permissionContinue = nullptr;
    class PracticeBox* m_practiceBox = nullptr;
    QPointer<QPlainTextEdit> m_practice;
    QWidget* m_successRow = nullptr;
    QLabel* m_beforeLine = nullptr;
    PillButton* m_tryItButton = nullptr;
    ThemedTextField* m_triggerField = nullptr;
    QPlainTextEdit* m_contentField = nullptr;
    QLabel* m_triggerLine = nullptr;
    PillButton* m_createButton = nullptr;
    QPointer<QWidget> m_initialFocus;
};
