#include "engine/FillInController.h"

#include "engine/ExpansionFeedback.h"
#include "engine/FillInForm.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "model/Text.h"
#include "platform/FrontApp.h"

#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {

const QRegularExpression& tokenExpression()
{
    static const QRegularExpression re(QStringLiteral("\\{(field|menu):[^}]+\\}"));
    return re;
}

struct Token
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool menu = false;
    QStringList parts; // the body after the first ":", split at "|", empty parts kept
};

Token makeToken(qsizetype start, QStringView whole)
{
    Token t;
    t.start = start;
    t.length = whole.size();
    const QStringView inner = whole.mid(1, whole.size() - 2);
    t.menu = inner.startsWith(u"menu:");
    t.parts = inner.mid(inner.indexOf(u':') + 1).toString().split(QLatin1Char('|'), Qt::KeepEmptyParts);
    return t;
}

// The tokens made wholly of the snippet's own text. Each stretch between clipboard texts is
// searched on its own, so that a clipboard text can neither be, nor begin or end, a token,
// nor swallow a real token that follows it.
QList<Token> tokensIn(const QString& text, const FillInController::Literals& literals)
{
    FillInController::Literals ranges = literals;
    std::sort(ranges.begin(), ranges.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    QList<Token> tokens;
    qsizetype from = 0;
    auto scan = [&](qsizetype end) {
        if (end <= from)
            return;
        const QString stretch = text.mid(from, end - from);
        for (auto it = tokenExpression().globalMatch(stretch); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            tokens.append(makeToken(from + m.capturedStart(), m.capturedView()));
        }
    };
    for (const auto& r : ranges) {
        const qsizetype start = std::clamp<qsizetype>(r.start, 0, text.size());
        const qsizetype end = std::clamp<qsizetype>(r.start + r.length, start, text.size());
        scan(start);
        from = std::max(from, end);
    }
    scan(text.size());
    return tokens;
}

} // namespace

FillInController::FillInController(AppState& state, ExpansionEngine& engine, FrontApp& frontApp,
                                   ExpansionFeedback& feedback, ExpansionEngine::Replace replace,
                                   QObject* parent)
    : FillInController(state, engine, frontApp, feedback, std::move(replace), Options(), parent)
{
}

FillInController::FillInController(AppState& state, ExpansionEngine& engine, FrontApp& frontApp,
                                   ExpansionFeedback& feedback, ExpansionEngine::Replace replace,
                                   const Options& options, QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_frontApp(frontApp), m_feedback(feedback),
      m_replace(std::move(replace)), m_options(options)
{
}

FillInController::~FillInController()
{
    delete m_panel.data();
}

FillInForm* FillInController::panel() const
{
    return m_panel;
}

QString FillInController::cancelledMessage()
{
    return QStringLiteral("Fill-in cancelled \u2014 focus changed");
}

QList<FillInController::Field> FillInController::parse(const QString& text, const Literals& literals)
{
    QList<Field> fields;
    QSet<QString> seen;
    for (const Token& t : tokensIn(text, literals)) {
        const QString& label = t.parts.first();
        if (label.isEmpty() || seen.contains(label))
            continue;
        seen.insert(label);
        Field f;
        f.id = QUuid::createUuid();
        f.label = label;
        if (t.menu) {
            for (qsizetype i = 1; i < t.parts.size(); ++i)
                if (!t.parts[i].isEmpty())
                    f.options.append(t.parts[i]);
        } else {
            f.defaultValue = t.parts.value(1);
        }
        fields.append(f);
    }
    return fields;
}

QString FillInController::apply(const QHash<QString, QString>& values, const QString& text,
                                const Literals& literals)
{
    QString out;
    qsizetype copied = 0;
    for (const Token& t : tokensIn(text, literals)) {
        out += QStringView(text).mid(copied, t.start - copied);
        const QString& label = t.parts.first();
        if (const auto it = values.constFind(label); it != values.constEnd() && !label.isEmpty())
            out += it.value();
        else if (!t.menu && t.parts.size() > 1)
            out += t.parts[1];
        copied = t.start + t.length;
    }
    out += QStringView(text).mid(copied);
    return out;
}

bool FillInController::present(const QString& text, const Literals& literals, int backspaces,
                               const QString& suffix)
{
    const QList<Field> fields = parse(text, literals);
    if (fields.isEmpty())
        return false;
    m_targetWindow = m_frontApp.window();
    m_targetAppKey = m_targetWindow ? m_frontApp.appKey() : QString();

    closePanel();
    auto* form = new FillInForm(fields);
    m_panel = form;
    // Connected with this controller as the context: a form outliving it does nothing.
    connect(form, &FillInForm::insertRequested, this, [this, form, text, literals, backspaces, suffix] {
        finish(form->values(), text, literals, backspaces, suffix);
    });
    connect(form, &FillInForm::cancelRequested, this, &FillInController::cancel);
    // Closed by the window manager: the form goes, nothing else happens.
    connect(form, &FillInForm::closedByUser, this, [this, form] {
        if (m_panel == form) {
            m_panel = nullptr;
            form->deleteLater();
        }
    });
    form->showCentered();
    // A panel of a background application may be refused the focus by the window manager;
    // asking through the front-window service is what it always obeys.
    m_frontApp.activate(form->winId());
    return true;
}

void FillInController::closePanel()
{
    if (!m_panel)
        return;
    FillInForm* form = m_panel;
    m_panel = nullptr;
    form->disconnect(this);
    form->hide();
    form->deleteLater();
}

void FillInController::cancel()
{
    closePanel();
    if (m_targetWindow)
        m_frontApp.activate(m_targetWindow);
}

void FillInController::finish(const QHash<QString, QString>& values, const QString& text,
                              const Literals& literals, int backspaces, const QString& suffix)
{
    const QString target = m_targetAppKey;
    closePanel();
    if (m_targetWindow)
        m_frontApp.activate(m_targetWindow);
    const QString typed = apply(values, text, literals) + suffix;
    QTimer::singleShot(m_options.typeDelayMs, this, [this, target, typed, backspaces] {
        if (target.isEmpty() || m_frontApp.appKey() != target) {
            // Said whatever the HUD setting: the user pressed Insert and deserves to know why
            // nothing arrived.
            m_feedback.showHud(cancelledMessage());
            return;
        }
        m_replace(backspaces, {Injector::Segment::text(typed)}, 0);
        m_state.setStatExpansions(m_state.statExpansions() + 1);
        m_state.setStatCharsSaved(m_state.statCharsSaved() +
                                  std::max(Text::graphemeCount(typed) - backspaces, 0));
        if (m_state.soundEnabled())
            m_feedback.playSound(m_state.soundName());
        m_engine.learner().resetTransientState();
    });
}
