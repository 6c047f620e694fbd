#include "settings/SettingsRootView.h"

#include "ai/LearningEngine.h"
#include "model/AppState.h"
#include "settings/SidebarItem.h"
#include "settings/SidebarStatus.h"
#include "ui/BrandTile.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/StatusDot.h"
#include "ui/ThemedLabel.h"
#include "ui/Theme.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtMath>
#include <QVBoxLayout>

// What the store said about its files, selectable so a kept copy's path can be copied. A
// path or file name longer than the sidebar breaks where the line ends; the block is as tall
// as its lines.
class NoticeText : public QTextEdit
{
  public:
    NoticeText(int width, QWidget* parent) : QTextEdit(parent)
    {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setFocusPolicy(Qt::NoFocus);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        setFont(Theme::systemFont(10.5));
        document()->setDocumentMargin(0);
        QPalette p = palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, Theme::amber());
        setPalette(p);
        viewport()->setAutoFillBackground(false);
        setFixedWidth(width);
        document()->setTextWidth(width);
    }

    void setNotice(const QString& text)
    {
        setPlainText(text);
        // Read as the label it stands for.
        setAccessibleName(text);
        document()->setTextWidth(width());
        setFixedHeight(qCeil(document()->size().height()));
    }
};

SettingsRootView::SettingsRootView(AppState& state, LearningEngine* learning, QWidget* parent)
    : QWidget(parent), m_state(state), m_learning(learning)
{
    setAutoFillBackground(true);
    setPalette(Theme::darkPalette(Theme::bg()));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_sidebar = buildSidebar();
    row->addWidget(m_sidebar);
    auto* rule = new QWidget(this);
    rule->setFixedWidth(1);
    rule->setAutoFillBackground(true);
    QPalette rulePalette = rule->palette();
    rulePalette.setColor(QPalette::Window, Theme::border());
    rule->setPalette(rulePalette);
    row->addWidget(rule);
    m_stack = new QStackedWidget(this);
    row->addWidget(m_stack, 1);

    connect(&m_state, &AppState::accessibilityGrantedChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::pausedUntilChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::masterEnabledChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::statExpansionsChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::statCorrectionsChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::statCharsSavedChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::typingWPMChanged, this, &SettingsRootView::refreshStatus);
    connect(&m_state, &AppState::showOnboardingChanged, this, &SettingsRootView::syncOnboarding);
    if (m_learning) {
        connect(m_learning, &LearningEngine::suggestionCountChanged, this, &SettingsRootView::refreshBadge);
    }
    connect(&m_state, &AppState::noticeAdded, this, &SettingsRootView::refreshNotices);
    refreshStatus();
    refreshBadge();
    refreshNotices();
}

SettingsRootView::~SettingsRootView()
{
    if (m_sheet)
        m_sheet->disconnect(this);
}

QWidget* SettingsRootView::buildSidebar()
{
    auto* bar = new QWidget(this);
    bar->setFixedWidth(sidebarWidth);
    bar->setAutoFillBackground(true);
    bar->setPalette(Theme::darkPalette(Theme::sidebar()));
    auto* stack = new QVBoxLayout(bar);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    auto* brand = new QHBoxLayout;
    brand->setContentsMargins(16, 42, 16, 22);
    brand->setSpacing(9);
    brand->addWidget(new BrandTile(28, 8, 13, bar));
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    names->addWidget(makeThemedLabel(QStringLiteral("Quenvil"), Theme::systemFont(14, QFont::DemiBold),
                                     Theme::textPrimary(), bar));
    names->addWidget(makeThemedLabel(QStringLiteral("Text expander"), Theme::systemFont(10.5),
                                     Theme::textTertiary(), bar));
    brand->addLayout(names);
    brand->addStretch();
    stack->addLayout(brand);

    QLabel* caption =
        makeThemedLabel(QStringLiteral("Settings"), Theme::systemFont(11, QFont::Medium), Theme::textTertiary(), bar);
    caption->setContentsMargins(18, 0, 18, 6);
    stack->addWidget(caption);

    for (SettingsTab tab : SettingsTabs::allCases()) {
        auto* item = new SidebarItem(tab, sidebarWidth, bar);
        item->setChecked(tab == m_tab);
        connect(item, &QAbstractButton::clicked, this, [this, tab] { setTab(tab); });
        m_items.insert(tab, item);
        stack->addWidget(item);
    }
    stack->addStretch(1);

    auto* status = new QVBoxLayout;
    status->setContentsMargins(16, 16, 16, 16);
    status->setSpacing(10);
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    m_statusDot = new StatusDot(7, Theme::textTertiary(), bar);
    line->addWidget(m_statusDot);
    m_statusLabel = makeThemedLabel(QString(), Theme::systemFont(11, QFont::Medium), Theme::textTertiary(), bar);
    line->addWidget(m_statusLabel);
    line->addStretch();
    status->addLayout(line);
    m_notices = new NoticeText(sidebarWidth - 2 * 16, bar);
    status->addWidget(m_notices);
    auto* stats = new QVBoxLayout;
    stats->setSpacing(3);
    for (int i = 0; i < 4; ++i) {
        auto* statRow = new QHBoxLayout;
        statRow->setSpacing(5);
        QLabel* value = makeThemedLabel(QString(), Theme::systemFont(11, QFont::DemiBold, Theme::FontDesign::Monospaced),
                                        Theme::textSecondary(), bar);
        QLabel* label = makeThemedLabel(QString(), Theme::systemFont(11), Theme::textTertiary(), bar);
        statRow->addWidget(value);
        statRow->addWidget(label);
        statRow->addStretch();
        stats->addLayout(statRow);
        m_statValues.append(value);
        m_statLabels.append(label);
    }
    status->addLayout(stats);
    stack->addLayout(status);
    return bar;
}

void SettingsRootView::setPageFactory(PageFactory factory)
{
    m_pageFactory = std::move(factory);
}

void SettingsRootView::setOnboardingFactory(SheetFactory factory)
{
    m_sheetFactory = std::move(factory);
}

void SettingsRootView::setTab(SettingsTab tab)
{
    m_tab = tab;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        it.value()->setChecked(it.key() == tab);
    QWidget* page = m_pages.value(tab);
    if (!page) {
        page = m_pageFactory ? m_pageFactory(tab, m_stack) : nullptr;
        if (!page)
            page = placeholderPage(tab);
        m_pages.insert(tab, page);
        m_stack->addWidget(page);
    }
    m_stack->setCurrentWidget(page);
}

QWidget* SettingsRootView::placeholderPage(SettingsTab tab)
{
    auto* page = new QWidget(m_stack);
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(28, 28, 28, 28);
    QString subtitle;
    switch (tab) {
    case SettingsTab::snippets:
        subtitle = QStringLiteral("Your snippet library: browse, search, create and edit snippets and groups.");
        break;
    case SettingsTab::corrections:
        subtitle = QStringLiteral("The built-in spelling fixes and your own corrections.");
        break;
    case SettingsTab::suggestions:
        subtitle = QStringLiteral("Snippets and corrections Quenvil learned from your typing, to review.");
        break;
    case SettingsTab::general:
        subtitle = QStringLiteral("Expansion, sounds, statistics, AI, excluded applications and backups.");
        break;
    }
    stack->addWidget(new SectionHeader(SettingsTabs::title(tab), subtitle, page));
    stack->addStretch();
    return page;
}

int SettingsRootView::badge(SettingsTab tab) const
{
    return m_items.value(tab) ? m_items.value(tab)->badgeValue() : 0;
}

QString SettingsRootView::statusText() const
{
    return m_statusLabel->text();
}

QStringList SettingsRootView::statLineTexts() const
{
    QStringList lines;
    for (int i = 0; i < m_statValues.size(); ++i)
        lines.append(m_statValues[i]->text() + QLatin1Char(' ') + m_statLabels[i]->text());
    return lines;
}

void SettingsRootView::refreshStatus()
{
    const SidebarStatus status = SidebarStatus::from(m_state);
    m_statusLabel->setText(status.text);
    QPalette palette = m_statusLabel->palette();
    palette.setColor(QPalette::WindowText, status.color);
    m_statusLabel->setPalette(palette);
    m_statusDot->setColor(status.color);
    const QList<StatLineText> lines = sidebarStatLines(m_state);
    for (int i = 0; i < lines.size() && i < m_statValues.size(); ++i) {
        m_statValues[i]->setText(lines[i].value);
        m_statLabels[i]->setText(lines[i].label);
    }
}

void SettingsRootView::refreshNotices()
{
    QStringList lines;
    for (const AppState::StoreNotice& notice : m_state.notices())
        lines << notice.message;
    m_notices->setNotice(lines.join(QLatin1Char('\n')));
    m_notices->setVisible(!lines.isEmpty());
}

QString SettingsRootView::noticesText() const
{
    return m_notices->toPlainText();
}

void SettingsRootView::refreshBadge()
{
    const int count = m_learning ? m_learning->suggestionCount() : 0;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        it.value()->setBadge(it.key() == SettingsTab::suggestions ? count : 0);
}

void SettingsRootView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_pages.isEmpty())
        setTab(m_tab);
    // Until onboarding was completed, the sheet comes back every time the window does.
    if (!m_state.settings().boolValue(QStringLiteral("didCompleteOnboarding")))
        m_state.setShowOnboarding(true);
    syncOnboarding();
}

void SettingsRootView::syncOnboarding()
{
    if (!m_state.showOnboarding()) {
        if (m_sheet) {
            QDialog* sheet = m_sheet;
            m_sheet = nullptr;
            sheet->disconnect(this);
            sheet->close();
            sheet->deleteLater();
        }
        return;
    }
    if (m_sheet || !isVisible())
        return;
    m_sheet = m_sheetFactory ? m_sheetFactory(window()) : makeWelcomeSheet(window());
    if (!m_sheet)
        return;
    m_sheet->setAttribute(Qt::WA_DeleteOnClose, false);
    m_sheet->setWindowModality(Qt::WindowModal);
    // Closed by the user: the request ends, the flag stays as it was, and the sheet comes
    // back the next time the window is shown.
    connect(m_sheet, &QDialog::finished, this, [this] {
        if (QDialog* sheet = m_sheet) {
            m_sheet = nullptr;
            sheet->deleteLater();
        }
        if (m_state.showOnboarding())
            m_state.setShowOnboarding(false);
    });
    m_sheet->open();
}

QDialog* SettingsRootView::makeWelcomeSheet(QWidget* parent)
{
    auto* sheet = new QDialog(parent);
    sheet->setWindowTitle(QStringLiteral("Welcome to Quenvil"));
    sheet->setAutoFillBackground(true);
    sheet->setPalette(Theme::darkPalette(Theme::sidebar()));
    sheet->setFixedWidth(460);
    auto* stack = new QVBoxLayout(sheet);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);
    stack->addWidget(makeThemedLabel(QStringLiteral("Welcome to Quenvil"), Theme::systemFont(20, QFont::DemiBold),
                                     Theme::textPrimary(), sheet));
    QLabel* body = makeThemedLabel(
        QStringLiteral("Type a trigger such as ;sig in any application and Quenvil replaces it with its "
                       "snippet. Misspellings like teh are fixed as you type. Your snippets, spelling fixes "
                       "and learned suggestions are managed in this window."),
        Theme::systemFont(12.5), Theme::textSecondary(), sheet);
    body->setWordWrap(true);
    stack->addWidget(body);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* close = new PillButton(QStringLiteral("Close"), {}, true, sheet);
    QObject::connect(close, &QAbstractButton::clicked, sheet, &QDialog::reject);
    buttons->addWidget(close);
    stack->addLayout(buttons);
    return sheet;
}
