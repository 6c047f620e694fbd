#include "app/QuickCapturePanel.h"

#include "model/Text.h"
#include "ui/PillButton.h"
#include "ui/RoundedPanel.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedTextField.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kBlockSpacing = 5;
constexpr qreal kCaptionSize = 10;
constexpr qreal kCaptionLetterSpacing = 0.8;
constexpr qreal kContentSize = 12.5;
constexpr qreal kConflictSize = 11;
constexpr qreal kEditorRadius = 7;
constexpr int kEditorPadding = 8;

// The content editor's frame: the field colour with a thin border, rounded.
class EditorFrame : public QWidget
{
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        RoundedPanel{kEditorRadius, Theme::field(), Theme::border(), 1}.paint(painter, QRectF(rect()));
    }
};

} // namespace

QString QuickCaptureRules::trimmedTrigger(const QString& trigger)
{
    return Text::trimSpacesAndTabs(trigger);
}

bool QuickCaptureRules::conflict(const QString& trigger, const TriggerMap& triggerIndex)
{
    const QString t = trimmedTrigger(trigger);
    return !t.isEmpty() && triggerIndex.contains(TriggerKey(t));
}

bool QuickCaptureRules::canSave(const QString& trigger, const QString& content)
{
    return !trimmedTrigger(trigger).isEmpty() && !content.isEmpty();
}

std::optional<Snippet> QuickCaptureRules::snippetFor(const QString& trigger, const QString& content)
{
    if (!canSave(trigger, content))
        return std::nullopt;
    // A new record's defaults are those of a plain text snippet.
    Snippet s;
    s.trigger = trimmedTrigger(trigger);
    s.content = content;
    return s;
}

QuickCapturePanel::QuickCapturePanel(const QString& initialContent, const TriggerMap& triggerIndex, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_index(triggerIndex), m_initial(initialContent)
{
    setWindowTitle(QStringLiteral("New snippet"));
    setAccessibleName(windowTitle());
    setPalette(Theme::darkPalette(Theme::sidebar()));
    setFixedWidth(panelWidth);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(spacing);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    const int inner = panelWidth - 2 * padding;

    QFont captionFont = Theme::systemFont(kCaptionSize, QFont::DemiBold);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, kCaptionLetterSpacing);

    auto* triggerBlock = new QVBoxLayout;
    triggerBlock->setSpacing(kBlockSpacing);
    const QString triggerCaption = QStringLiteral("TRIGGER");
    triggerBlock->addWidget(makeThemedLabel(triggerCaption, captionFont, Theme::textTertiary(), this));
    m_trigger = new ThemedTextField(QStringLiteral(";trigger"), true, this);
    m_trigger->setAccessibleName(triggerCaption);
    m_trigger->setFixedWidth(inner);
    m_trigger->installEventFilter(this);
    triggerBlock->addWidget(m_trigger);
    m_conflict = makeThemedLabel(QStringLiteral("A snippet already uses this trigger."),
                                 Theme::systemFont(kConflictSize), Theme::amber(), this);
    m_conflict->setVisible(false);
    triggerBlock->addWidget(m_conflict);
    stack->addLayout(triggerBlock);

    auto* contentBlock = new QVBoxLayout;
    contentBlock->setSpacing(kBlockSpacing);
    const QString contentCaption = QStringLiteral("EXPANDS TO");
    contentBlock->addWidget(makeThemedLabel(contentCaption, captionFont, Theme::textTertiary(), this));
    auto* frame = new EditorFrame(this);
    frame->setFixedSize(inner, editorHeight);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(kEditorPadding, kEditorPadding, kEditorPadding, kEditorPadding);
    m_content = new QPlainTextEdit(frame);
    m_content->setAccessibleName(contentCaption);
    m_content->setFrameShape(QFrame::NoFrame);
    m_content->setFont(Theme::systemFont(kContentSize));
    m_content->setTabChangesFocus(true);
    {
        QPalette p = m_content->palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, Theme::textPrimary());
        p.setColor(QPalette::Highlight, Theme::accent());
        p.setColor(QPalette::HighlightedText, Qt::white);
        m_content->setPalette(p);
        m_content->viewport()->setAutoFillBackground(false);
    }
    m_content->document()->setDocumentMargin(0);
    m_content->setPlainText(initialContent);
    m_content->installEventFilter(this);
    frameLayout->addWidget(m_content);
    contentBlock->addWidget(frame);
    stack->addLayout(contentBlock);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new PillButton(QStringLiteral("Cancel"), {}, false, this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_save = new PillButton(QStringLiteral("Save"), {}, true, this);
    m_save->setObjectName(QStringLiteral("save"));
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    stack->addLayout(buttons);

    connect(m_cancel, &QAbstractButton::clicked, this, &QuickCapturePanel::cancelRequested);
    connect(m_save, &QAbstractButton::clicked, this, &QuickCapturePanel::trySave);
    connect(m_trigger, &QLineEdit::textChanged, this, &QuickCapturePanel::refresh);
    connect(m_content, &QPlainTextEdit::textChanged, this, [this] {
        m_edited = true;
        refresh();
    });
    refresh();
}

QString QuickCapturePanel::trigger() const
{
    return m_trigger->text();
}

QString QuickCapturePanel::content() const
{
    // The editor turns CR LF into its own paragraphs and no-break spaces into spaces; an
    // untouched selection is saved exactly as it was read.
    if (!m_edited)
        return m_initial;
    QString text = m_content->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void QuickCapturePanel::refresh()
{
    m_conflict->setVisible(QuickCaptureRules::conflict(trigger(), m_index));
    const bool usable = QuickCaptureRules::canSave(trigger(), content());
    m_save->setEnabled(usable);
    m_save->setOpacity(usable ? 1.0 : 0.4);
}

void QuickCapturePanel::trySave()
{
    if (!m_save->isEnabled())
        return;
    emit saveRequested(trigger(), content());
}

void QuickCapturePanel::showCenteredIn(const QRect& area)
{
    adjustSize();
    QRect target = area;
    if (target.isEmpty()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            target = screen->availableGeometry();
    }
    if (!target.isEmpty())
        move(target.center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
    QTimer::singleShot(focusDelayMs, m_trigger, [field = m_trigger] { field->setFocus(Qt::ActiveWindowFocusReason); });
}

bool QuickCapturePanel::handleKey(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier)) {
        trySave();
        return true;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit cancelRequested();
        return true;
    }
    return false;
}

bool QuickCapturePanel::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_trigger || watched == m_content) &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool ours = ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                           (key->modifiers() & Qt::ControlModifier)) ||
                          (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier);
        if (ours) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            return handleKey(key);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuickCapturePanel::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QuickCapturePanel::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closedByUser();
}

void QuickCapturePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::sidebar());
}
