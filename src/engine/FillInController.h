#pragma once

#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUuid>

class AppState;
class ExpansionFeedback;
class FillInForm;
class FrontApp;

// Snippets that ask for values before they are typed. Their text holds fill-in tokens:
//
//   {field:LABEL}  {field:LABEL|DEFAULT}   a free-text value
//   {menu:LABEL|OPTION|OPTION…}            a choice (empty options are dropped)
//
// Every token with one label shares one row and one value. present() opens a small form
// with a row per label; Insert gives the focus back to the window the user was typing in
// and, a moment later, types the text with the values filled in, in place of the trigger,
// but only when that window's application is still in front. Cancel types nothing.
//
// Text that came from the clipboard is inserted as it is: tokens that overlap it are not
// tokens (they get no row and are typed as written).
//
// Main thread only.
class FillInController : public QObject
{
    Q_OBJECT

  public:
    struct Field
    {
        QUuid id;
        QString label;
        QStringList options;
        QString defaultValue;
    };

    using Literals = QList<ContentRenderer::LiteralRange>;

    struct Options
    {
        // From Insert to typing: the re-activated window needs a moment to take the focus.
        int typeDelayMs = 250;
    };

    FillInController(AppState& state, ExpansionEngine& engine, FrontApp& frontApp,
                     ExpansionFeedback& feedback, ExpansionEngine::Replace replace,
                     QObject* parent = nullptr);
    FillInController(AppState& state, ExpansionEngine& engine, FrontApp& frontApp,
                     ExpansionFeedback& feedback, ExpansionEngine::Replace replace, const Options& options,
                     QObject* parent = nullptr);
    ~FillInController() override;

    // The distinct fields in order of first appearance; empty: no form is needed.
    static QList<Field> parse(const QString& text, const Literals& literals = {});
    // The text with every token replaced by its label's value, else its default (a field's
    // second part), else nothing.
    static QString apply(const QHash<QString, QString>& values, const QString& text,
                         const Literals& literals = {});

    // Opens the form for `text` (closing one still open). `backspaces` and `suffix`: what
    // the injector deletes first and what it types after the text. False, and nothing
    // happens, when the text has no field.
    bool present(const QString& text, const Literals& literals, int backspaces, const QString& suffix);

    // The open form, if any.
    FillInForm* panel() const;

    static QString cancelledMessage();

  private:
    void finish(const QHash<QString, QString>& values, const QString& text, const Literals& literals,
                int backspaces, const QString& suffix);
    void cancel();
    void closePanel();

    AppState& m_state;
    ExpansionEngine& m_engine;
    FrontApp& m_frontApp;
    ExpansionFeedback& m_feedback;
    ExpansionEngine::Replace m_replace;
    Options m_options;
    QPointer<FillInForm> m_panel;
    quint64 m_targetWindow = 0;
    QString m_targetAppKey;
};
