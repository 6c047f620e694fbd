#include "app/OnboardingView.h"

#include "engine/Notifier.h"
#include "model/AppState.h"
#include "ui/BrandTile.h"
#include "ui/Card.h"
#include "ui/PillButton.h"
#include "ui/StatusDot.h"
#include "ui/SymbolImage.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedTextField.h"
#include "ui/TriggerChip.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QtMath>

namespace {

QPointer<QPlainTextEdit> g_practiceEditor;

const QString kCheckCircle = QStringLiteral("checkmark.circle.fill");
const QString kCheckShield = QStringLiteral("checkmark.shield.fill");
const QString kLockShield = QStringLiteral("lock.shield");

QPainterPath shieldPath()
{
    // On the 16 x 16 grid the shared symbols use.
    QPainterPath p;
    p.moveTo(8, 1.2);
    p.lineTo(13.6, 3.3);
    p.cubicTo(13.8, 9.0, 11.6, 12.6, 8, 14.8);
    p.cubicTo(4.4, 12.6, 2.2, 9.0, 2.4, 3.3);
    p.closeSubpath();
    return p;
}

// The tour's own drawings for the three status symbols; everything else is a shared symbol.
bool paintOwnSymbol(QPainter& painter, const QString& name, const QRectF& box, const QColor& color)
{
    if (name != kCheckCircle && name != kCheckShield && name != kLockShield)
        return false;
    const qreal side = qMin(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(side / 16.0, side / 16.0);
    QPen cut(Qt::white, 1.6);
    cut.setCapStyle(Qt::RoundCap);
    cut.setJoinStyle(Qt::RoundJoin);
    QPainterPath check;
    check.moveTo(5.0, 8.2);
    check.lineTo(7.1, 10.3);
    check.lineTo(11.0, 5.9);
    if (name == kCheckCircle) {
        QPainterPath disc;
        disc.addEllipse(QRectF(1, 1, 14, 14));
        // The tick is cut out of the disc, as the filled symbols are drawn.
        QPainterPathStroker stroker(cut);
        painter.fillPath(disc.subtracted(stroker.createStroke(check)), color);
    } else if (name == kCheckShield) {
        QPainterPathStroker stroker(cut);
        painter.fillPath(shieldPath().subtracted(stroker.createStroke(check)), color);
    } else {
        QPen pen(color, 1.3);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shieldPath());
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(5.6, 7.4, 4.8, 3.8), 0.8, 0.8);
        QPen shackle(color, 1.1);
        painter.setPen(shackle);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(6.4, 5.0, 3.2, 4.6), 0, 180 * 16);
    }
    painter.restore();
    return true;
}

QLabel* text(const QString& content, qreal size, const QColor& color, QWidget* parent,
             QFont::Weight weight = QFont::Normal)
{
    return makeThemedLabel(content, Theme::systemFont(size, weight), color, parent);
}

// A wrapped text, centred line by line, no wider than `maxWidth`.
QLabel* centredText(const QString& content, qreal size, const QColor& color, int maxWidth, QWidget* parent)
{
    QLabel* label = text(content, size, color, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // A fixed width lets the layout ask for the wrapped height; the page is 460 wide.
    label->setFixedWidth(qMin(maxWidth, OnboardingView::sheetWidth - 80));
    return label;
}

QVBoxLayout* pageStack(QWidget* page, int spacing, int topInset)
{
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(0, topInset, 0, 0);
    stack->setSpacing(spacing);
    return stack;
}

// The page's heading: a title over a subtitle, 6 apart, centred.
void addHeading(QVBoxLayout* stack, QWidget* page, const QString& title, qreal titleSize, const QString& subtitle,
                int subtitleWidth)
{
    auto* block = new QVBoxLayout;
    block->setSpacing(6);
    block->addWidget(text(title, titleSize, Theme::textPrimary(), page, QFont::DemiBold), 0, Qt::AlignHCenter);
    if (!subtitle.isEmpty())
        block->addWidget(centredText(subtitle, 12.5, Theme::textSecondary(), subtitleWidth, page), 0,
                         Qt::AlignHCenter);
    stack->addLayout(block);
}

Card* boundedCard(int padding, int maxWidth, QWidget* parent)
{
    auto* card = new Card(padding, parent);
    card->setMaximumWidth(maxWidth);
    card->setMinimumWidth(maxWidth);
    return card;
}

} // namespace

// A symbol at a given size and colour.
class OnboardingSymbol : public QWidget
{
  public:
    OnboardingSymbol(const QString& name, qreal size, const QColor& color, QWidget* parent, int weight = 600)
        : QWidget(parent), m_name(name), m_size(size), m_color(color), m_weight(weight)
    {
        setFixedSize(qCeil(size) + 2, qCeil(size) + 2);
    }
    void set(const QString& name, const QColor& color)
    {
        m_name = name;
        m_color = color;
        update();
    }
    QString name() const { return m_name; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRectF box(1, 1, m_size, m_size);
        if (!paintOwnSymbol(p, m_name, box, m_color))
            SymbolImage::paint(p, m_name, box, m_color, m_weight);
    }

  private:
    QString m_name;
    qreal m_size;
    QColor m_color;
    int m_weight;
};

// A row of one dot per page, lit up to the page shown.
class ProgressDots : public QWidget
{
  public:
    explicit ProgressDots(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(OnboardingFlow::stepCount * 7 + (OnboardingFlow::stepCount - 1) * 7, 7);
    }
    void setStep(int step)
    {
        m_step = step;
        update();
    }
    int filled() const { return qBound(0, m_step + 1, int(OnboardingFlow::stepCount)); }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < OnboardingFlow::stepCount; ++i) {
            p.setBrush(i <= m_step ? Theme::accent() : QColor(255, 255, 255, qRound(0.12 * 255)));
            p.drawEllipse(QRectF(i * 14, 0, 7, 7));
        }
    }

  private:
    int m_step = 0;
};

namespace {

// The tile with the cursor symbol on the welcome page, with a soft accent glow.
class BrandMark : public BrandTile
{
  public:
    explicit BrandMark(QWidget* parent) : BrandTile(58, 14, 26, parent)
    {
        auto* shadow = new QGraphicsDropShadowEffect(this);
        QColor glow = Theme::accent();
        glow.setAlphaF(0.35f);
        shadow->setColor(glow);
        shadow->setBlurRadius(18 * 2);
        shadow->setOffset(0, 6);
        setGraphicsEffect(shadow);
    }
};

// A button drawn as its bare text, without chrome.
class TextButton : public QAbstractButton
{
  public:
    TextButton(const QString& title, QWidget* parent) : QAbstractButton(parent)
    {
        setText(title);
        setAccessibleName(title);
        setFont(Theme::systemFont(11));
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(text()) + 8, fm.height() + 4};
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        p.setPen(isDown() ? Theme::textSecondary() : Theme::textTertiary());
        p.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
        if (hasFocus()) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(Theme::accent(), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        }
    }
};

} // namespace

// A multi-line editor on the field colour in a rounded box; its outline can turn green.
class PracticeBox : public QWidget
{
  public:
    PracticeBox(qreal radius, const QFont& font, const QString& placeholder, QWidget* parent)
        : QWidget(parent), m_radius(radius)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(6, 6, 6, 6);
        m_editor = new QPlainTextEdit(this);
        m_editor->setFrameShape(QFrame::NoFrame);
        m_editor->setFont(font);
        m_editor->setPlaceholderText(placeholder);
        m_editor->setTabChangesFocus(true);
        m_editor->viewport()->setAutoFillBackground(false);
        m_editor->setAutoFillBackground(false);
        QPalette palette = m_editor->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, Theme::textPrimary());
        palette.setColor(QPalette::PlaceholderText, Theme::textTertiary());
        palette.setColor(QPalette::Highlight, Theme::accent());
        palette.setColor(QPalette::HighlightedText, Qt::white);
        m_editor->setPalette(palette);
        layout->addWidget(m_editor);
    }
    QPlainTextEdit* editor() const { return m_editor; }
    void setOutline(const QColor& color)
    {
        m_outline = color;
        update();
    }
    QColor outline() const { return m_outline; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
        p.fillPath(path, Theme::field());
        p.setPen(QPen(m_editor->hasFocus() && m_outline == Theme::border() ? Theme::borderStrong() : m_outline, 1));
        p.drawPath(path);
    }

  private:
    QPlainTextEdit* m_editor = nullptr;
    qreal m_radius;
    QColor m_outline = Theme::border();
};

OnboardingView::OnboardingView(AppState& state, std::function<QString()> notGrantedReason, QWidget* parent)
    : QDialog(parent), m_state(state), m_notGrantedReason(std::move(notGrantedReason)), m_flow(state)
{
    setWindowTitle(QStringLiteral("Welcome to Quenvil"));
    setAccessibleName(windowTitle());
    setAutoFillBackground(true);
    setPalette(Theme::darkPalette(Theme::sidebar()));
    // Long texts wrap inside their widths; the sheet never grows.
    setFixedSize(sheetWidth, sheetHeight);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 22, 0, 0);
    stack->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setSpacing(8);
    m_dots = new ProgressDots(this);
    header->addWidget(m_dots, 0, Qt::AlignHCenter);
    QFont captionFont = Theme::systemFont(10.5, QFont::Medium);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    m_caption = makeThemedLabel(QString(), captionFont, Theme::textTertiary(), this);
    header->addWidget(m_caption, 0, Qt::AlignHCenter);
    stack->addLayout(header);
    stack->addSpacing(18);

    m_pageHost = new QVBoxLayout;
    m_pageHost->setContentsMargins(40, 0, 40, 0);
    stack->addLayout(m_pageHost, 1);

    connect(&m_state, &AppState::accessibilityGrantedChanged, this, [this] { refreshPermission(); });
    connect(&m_state, &AppState::statExpansionsChanged, this, [this](qint64 value) {
        m_flow.expansionsChanged(value);
        refreshTryIt();
    });
    connect(&m_state, &AppState::snippetsChanged, this, [this] { refreshMakeItYours(); });
    connect(&m_state, &AppState::groupsChanged, this, [this] { refreshMakeItYours(); });
    showStep();
}

OnboardingView::~OnboardingView() = default;

bool OnboardingView::practiceEditorHasFocus()
{
    return g_practiceEditor && g_practiceEditor->hasFocus();
}

QPlainTextEdit* OnboardingView::practiceEditor() const
{
    return m_practice;
}

QString OnboardingView::progressCaption() const
{
    return m_caption->text();
}

int OnboardingView::filledDots() const
{
    return m_dots->filled();
}

QStringList OnboardingView::symbolNames()
{
    return {QStringLiteral("text.cursor"), QStringLiteral("text.badge.plus"), QStringLiteral("wand.and.sparkles"),
            QStringLiteral("lightbulb"),   QStringLiteral("arrow.right"),     QStringLiteral("checkmark"),
            kCheckCircle,                  kCheckShield,                      kLockShield};
}

bool OnboardingView::canDraw(const QString& symbol)
{
    return symbol == kCheckCircle || symbol == kCheckShield || symbol == kLockShield || SymbolImage::isKnown(symbol);
}

void OnboardingView::showStep()
{
    const int step = m_flow.step();
    m_dots->setStep(step);
    m_caption->setText(QStringLiteral("Step %1 of %2").arg(step + 1).arg(OnboardingFlow::stepCount));

    // The page whose button was pressed goes after the click has been handled.
    if (m_page) {
        m_page->hide();
        m_pageHost->removeWidget(m_page);
        m_page->deleteLater();
    }
    m_shield = nullptr;
    m_grantedRow = m_waitingRow = nullptr;
    m_permissionHint = nullptr;
    m_permissionContinue = nullptr;
    m_practiceBox = nullptr;
    m_practice = nullptr;
    m_successRow = nullptr;
    m_beforeLine = nullptr;
    m_tryItButton = nullptr;
    m_triggerField = nullptr;
    m_contentField = nullptr;
    m_triggerLine = nullptr;
    m_createButton = nullptr;
    m_initialFocus = nullptr;

    switch (step) {
    case OnboardingFlow::welcome:
        m_page = buildWelcomePage();
        break;
    case OnboardingFlow::permission:
        m_page = buildPermissionPage();
        break;
    case OnboardingFlow::tryIt:
        m_page = buildTryItPage();
        break;
    default:
        m_page = buildMakeItYoursPage();
        break;
    }
    m_pageHost->addWidget(m_page, 1);
    m_page->show();
    // Each page hands the keyboard to its way on (the practice editor on the try-it page).
    if (m_initialFocus)
        m_initialFocus->setFocus(Qt::OtherFocusReason);
}

QWidget* OnboardingView::buildWelcomePage()
{
    auto* page = new QWidget(this);
    QVBoxLayout* stack = pageStack(page, 22, 18);
    stack->addWidget(new BrandMark(page), 0, Qt::AlignHCenter);
    addHeading(stack, page, QStringLiteral("Welcome to Quenvil"), 22,
               QStringLiteral("Short triggers become full text, everywhere you type — and nothing ever leaves this "
                              "computer."),
               400);

    Card* card = boundedCard(14, 420, page);
    auto* bullets = new QVBoxLayout;
    bullets->setSpacing(12);
    const struct
    {
        const char* symbol;
        QColor color;
        const char* text;
    } rows[] = {
        {"text.badge.plus", Theme::accent(), "Snippets — type ;sig and your signature appears."},
        {"wand.and.sparkles", Theme::amber(), "Spell-fix — teh becomes the, with your casing intact."},
        {"lightbulb", Theme::green(), "On-device learning — Quenvil suggests snippets from what you retype."},
    };
    for (const auto& row : rows) {
        auto* line = new QHBoxLayout;
        line->setSpacing(10);
        auto* box = new QWidget(card);
        box->setFixedWidth(20);
        auto* boxLayout = new QHBoxLayout(box);
        boxLayout->setContentsMargins(0, 0, 0, 0);
        boxLayout->addWidget(new OnboardingSymbol(QString::fromLatin1(row.symbol), 13, row.color, box, 500), 0,
                             Qt::AlignCenter);
        line->addWidget(box, 0, Qt::AlignTop);
        QLabel* label = text(QString::fromUtf8(row.text), 12.5, Theme::textSecondary(), card);
        label->setWordWrap(true);
        line->addWidget(label, 1);
        bullets->addLayout(line);
    }
    card->addContent(bullets);
    stack->addWidget(card, 0, Qt::AlignHCenter);

    auto* start = new PillButton(QStringLiteral("Get started"), QStringLiteral("arrow.right"), true, page);
    connect(start, &QAbstractButton::clicked, this, [this] {
        m_flow.getStarted();
        showStep();
    });
    stack->addWidget(start, 0, Qt::AlignHCenter);
    stack->addStretch(1);
    m_initialFocus = start;
    return page;
}

QWidget* OnboardingView::buildPermissionPage()
{
    auto* page = new QWidget(this);
    QVBoxLayout* stack = pageStack(page, 18, 14);
    m_shield = new OnboardingSymbol(kLockShield, 34, Theme::amber(), page);
    stack->addWidget(m_shield, 0, Qt::AlignHCenter);
    addHeading(stack, page, QStringLiteral("One permission, and you're set"), 20,
               QStringLiteral("Quenvil needs to see what you type to replace it. No clipboard, no telemetry — and "
                              "what you type never leaves this computer unless you switch on an AI feature yourself."),
               420);

    Card* card = boundedCard(16, 440, page);
    m_grantedRow = new QWidget(card);
    auto* granted = new QHBoxLayout(m_grantedRow);
    granted->setContentsMargins(0, 0, 0, 0);
    granted->setSpacing(10);
    granted->addWidget(new OnboardingSymbol(kCheckCircle, 16, Theme::green(), m_grantedRow));
    granted->addWidget(
        text(QStringLiteral("Permission verified — Quenvil is live"), 13, Theme::green(), m_grantedRow, QFont::Medium));
    granted->addStretch();
    m_waitingRow = new QWidget(card);
    auto* waiting = new QHBoxLayout(m_waitingRow);
    waiting->setContentsMargins(0, 0, 0, 0);
    waiting->setSpacing(10);
    waiting->addWidget(new StatusDot(8, Theme::amber(), m_waitingRow));
    waiting->addWidget(
        text(QStringLiteral("Waiting for permission…"), 13, Theme::amber(), m_waitingRow, QFont::Medium));
    waiting->addStretch();
    auto* help = new PillButton(QStringLiteral("Open Help"), {}, true, m_waitingRow);
    connect(help, &QAbstractButton::clicked, this, [] { Notifier::openAccessibilitySettings(); });
    waiting->addWidget(help);
    card->addContent(m_grantedRow);
    card->addContent(m_waitingRow);
    stack->addWidget(card, 0, Qt::AlignHCenter);

    m_permissionHint = centredText(QString(), 11, Theme::textTertiary(), 400, page);
    stack->addWidget(m_permissionHint, 0, Qt::AlignHCenter);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    m_permissionContinue = new PillButton(QStringLiteral("Continue"), QStringLiteral("arrow.right"), true, page);
    // Stays clickable without the permission; it then does nothing.
    connect(m_permissionContinue, &QAbstractButton::clicked, this, [this] {
        if (m_flow.continueFromPermission())
            showStep();
    });
    buttons->addWidget(m_permissionContinue, 0, Qt::AlignHCenter);
    auto* later = new TextButton(QStringLiteral("Set up later"), page);
    connect(later, &QAbstractButton::clicked, this, [this] { m_flow.finish(); });
    buttons->addWidget(later, 0, Qt::AlignHCenter);
    stack->addLayout(buttons);

    refreshPermission();
    stack->addStretch(1);
    m_initialFocus = m_permissionContinue;
    return page;
}

void OnboardingView::refreshPermission()
{
    if (!m_shield)
        return;
    const bool granted = m_state.accessibilityGranted();
    m_shield->set(granted ? kCheckShield : kLockShield, granted ? Theme::green() : Theme::amber());
    m_grantedRow->setVisible(granted);
    m_waitingRow->setVisible(!granted);
    m_permissionContinue->setOpacity(granted ? 1.0 : 0.4);
    const QString general = QStringLiteral("Quenvil works in an X11 session, or with applications running on "
                                           "XWayland. This page updates the moment it's granted.");
    const QString reason = !granted && m_notGrantedReason ? m_notGrantedReason() : QString();
    m_permissionHint->setText(reason.isEmpty() ? general : reason);
}

QWidget* OnboardingView::buildTryItPage()
{
    auto* page = new QWidget(this);
    QVBoxLayout* stack = pageStack(page, 16, 10);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(6);
    heading->addWidget(text(QStringLiteral("Try it right here"), 20, Theme::textPrimary(), page, QFont::DemiBold), 0,
                       Qt::AlignHCenter);
    auto* line = new QHBoxLayout;
    line->setSpacing(5);
    line->addStretch();
    line->addWidget(text(QStringLiteral("Click below and type"), 12.5, Theme::textSecondary(), page));
    line->addWidget(new TriggerChip(QStringLiteral(";date"), page));
    line->addWidget(text(QStringLiteral("— watch it expand. Also try"), 12.5, Theme::textSecondary(), page));
    line->addWidget(new TriggerChip(QStringLiteral(";shrug"), page));
    line->addStretch();
    heading->addLayout(line);
    stack->addLayout(heading);

    m_practiceBox = new PracticeBox(10, Theme::systemFont(14), QStringLiteral("Type ;date here…"), page);
    m_practiceBox->setMaximumWidth(460);
    m_practiceBox->setMinimumWidth(460);
    m_practiceBox->setFixedHeight(130);
    m_practice = m_practiceBox->editor();
    m_practice->setAccessibleName(QStringLiteral("Type ;date here…"));
    m_practice->setObjectName(QStringLiteral("practiceEditor"));
    g_practiceEditor = m_practice;
    // Keeps the outline's focus colour current.
    connect(qApp, &QApplication::focusChanged, m_practiceBox, [box = m_practiceBox] { box->update(); });
    stack->addWidget(m_practiceBox, 0, Qt::AlignHCenter);

    auto* status = new QWidget(page);
    status->setFixedHeight(18);
    auto* statusLayout = new QHBoxLayout(status);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(0);
    m_successRow = new QWidget(status);
    auto* success = new QHBoxLayout(m_successRow);
    success->setContentsMargins(0, 0, 0, 0);
    success->setSpacing(6);
    success->addWidget(new OnboardingSymbol(kCheckCircle, 12, Theme::green(), m_successRow));
    success->addWidget(
        text(QStringLiteral("Nice — that's the whole trick ✓"), 12.5, Theme::green(), m_successRow, QFont::Medium));
    m_beforeLine = text(QStringLiteral("It works in every app, not just here."), 11.5, Theme::textTertiary(), status);
    statusLayout->addStretch();
    statusLayout->addWidget(m_successRow);
    statusLayout->addWidget(m_beforeLine);
    statusLayout->addStretch();
    stack->addWidget(status);

    m_tryItButton = new PillButton(QStringLiteral("Skip for now"), QStringLiteral("arrow.right"), false, page);
    connect(m_tryItButton, &QAbstractButton::clicked, this, [this] {
        m_flow.leaveTryIt();
        showStep();
    });
    stack->addWidget(m_tryItButton, 0, Qt::AlignHCenter);

    refreshTryIt();
    stack->addStretch(1);
    m_initialFocus = m_practice;
    return page;
}

void OnboardingView::refreshTryIt()
{
    if (!m_tryItButton)
        return;
    const bool saw = m_flow.sawExpansion();
    m_practiceBox->setOutline(saw ? [] {
        QColor c = Theme::green();
        c.setAlphaF(0.5f);
        return c;
    }()
                                  : Theme::border());
    m_successRow->setVisible(saw);
    m_beforeLine->setVisible(!saw);
    m_tryItButton->setTitle(saw ? QStringLiteral("Continue") : QStringLiteral("Skip for now"));
    m_tryItButton->setAccessibleName(m_tryItButton->title());
    m_tryItButton->setProminent(saw);
}

QWidget* OnboardingView::buildMakeItYoursPage()
{
    auto* page = new QWidget(this);
    QVBoxLayout* stack = pageStack(page, 16, 10);
    addHeading(stack, page, QStringLiteral("Make it yours"), 20,
               QStringLiteral("Create your first snippet — most people start with a signature."), 440);

    Card* card = boundedCard(18, 440, page);
    auto* form = new QVBoxLayout;
    form->setSpacing(14);
    QFont captionFont = Theme::systemFont(10, QFont::DemiBold);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);

    auto* triggerBlock = new QVBoxLayout;
    triggerBlock->setSpacing(6);
    triggerBlock->addWidget(makeThemedLabel(QStringLiteral("TRIGGER"), captionFont, Theme::textTertiary(), card));
    m_triggerField = new ThemedTextField(QStringLiteral(";sig"), true, card);
    m_triggerField->setAccessibleName(QStringLiteral("TRIGGER"));
    m_triggerField->setMaximumWidth(200);
    m_triggerField->setText(m_flow.newTrigger());
    triggerBlock->addWidget(m_triggerField);
    // Both sentences fit on one line of the card.
    m_triggerLine = text(QString(), 11, Theme::textTertiary(), card);
    triggerBlock->addWidget(m_triggerLine);
    form->addLayout(triggerBlock);

    auto* contentBlock = new QVBoxLayout;
    contentBlock->setSpacing(6);
    contentBlock->addWidget(makeThemedLabel(QStringLiteral("EXPANDS TO"), captionFont, Theme::textTertiary(), card));
    auto* contentBox = new PracticeBox(ThemedTextField::cornerRadius, Theme::systemFont(ThemedTextField::textSize),
                                       QStringLiteral("Best,\nYour name"), card);
    contentBox->setFixedHeight(78);
    m_contentField = contentBox->editor();
    m_contentField->setAccessibleName(QStringLiteral("EXPANDS TO"));
    m_contentField->setPlainText(m_flow.newContent());
    connect(qApp, &QApplication::focusChanged, contentBox, [contentBox] { contentBox->update(); });
    contentBlock->addWidget(contentBox);
    form->addLayout(contentBlock);
    card->addContent(form);
    stack->addWidget(card, 0, Qt::AlignHCenter);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    m_createButton = new PillButton(QStringLiteral("Create snippet & finish"), QStringLiteral("checkmark"), true, page);
    // Dimmed while the snippet is not valid; a click then does nothing.
    connect(m_createButton, &QAbstractButton::clicked, this, [this] { m_flow.createSnippetAndFinish(); });
    buttons->addWidget(m_createButton, 0, Qt::AlignHCenter);
    auto* skip = new TextButton(QStringLiteral("Finish without creating"), page);
    connect(skip, &QAbstractButton::clicked, this, [this] { m_flow.finish(); });
    buttons->addWidget(skip, 0, Qt::AlignHCenter);
    stack->addLayout(buttons);

    connect(m_triggerField, &QLineEdit::textChanged, this, [this](const QString& t) {
        m_flow.setNewTrigger(t);
        refreshMakeItYours();
    });
    connect(m_contentField, &QPlainTextEdit::textChanged, this, [this] {
        m_flow.setNewContent(m_contentField->toPlainText());
        refreshMakeItYours();
    });
    refreshMakeItYours();
    stack->addStretch(1);
    m_initialFocus = m_triggerField;
    return page;
}

void OnboardingView::refreshMakeItYours()
{
    if (!m_createButton)
        return;
    const bool conflict = m_flow.triggerConflict();
    m_triggerLine->setText(conflict ? QStringLiteral("Another snippet already uses this trigger — pick a different one.")
                                    : QStringLiteral("Tip: start triggers with “;” so they never fire mid-word."));
    QPalette palette = m_triggerLine->palette();
    palette.setColor(QPalette::WindowText, conflict ? Theme::red() : Theme::textTertiary());
    m_triggerLine->setPalette(palette);
    m_createButton->setOpacity(m_flow.snippetValid() ? 1.0 : 0.4);
}
