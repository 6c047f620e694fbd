#include "settings/GeneralView.h"

#include "engine/Notifier.h"
#include "engine/ScriptRunner.h"
#include "engine/SoundPlayer.h"
#include "model/AppState.h"
#include "model/AtomicFile.h"
#include "model/BackupManager.h"
#include "model/Paths.h"
#include "platform/LaunchAtLogin.h"
#include "settings/AISettingsCard.h"
#include "settings/PagePieces.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/ExcludedAppChip.h"
#include "ui/FlowLayout.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/Theme.h"
#include "ui/ThemedPicker.h"
#include "ui/ThemedTextField.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace GeneralLogic;

namespace {

QString css(const QColor& c)
{
    return c.name(QColor::HexArgb);
}

AccentToggle* toggle(const QString& name)
{
    auto* t = new AccentToggle(false);
    t->setAccessibleName(name);
    return t;
}

// A switch that shows a stored Boolean: filled without writing back, and a click writes
// only a value that differs from the stored one.
void bindToggle(AccentToggle* toggle, AppState& state, bool (AppState::*get)() const, void (AppState::*set)(bool),
                void (AppState::*changed)(bool))
{
    toggle->setOn((state.*get)());
    QObject::connect(toggle, &AccentToggle::toggled, toggle, [&state, get, set](bool on) {
        if ((state.*get)() != on)
            (state.*set)(on);
    });
    QObject::connect(&state, changed, toggle, [toggle](bool on) {
        if (toggle->isOn() == on)
            return;
        const QSignalBlocker blocker(toggle);
        toggle->setOn(on);
    });
}

QVBoxLayout* cardStack(Card* card, int spacing)
{
    auto* w = new QWidget(card);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    card->addContent(w);
    return l;
}

QString stepButtonStyle()
{
    return QStringLiteral("QToolButton { color: %1; background: %2; border: 1px solid %3; border-radius: 5px;"
                          " min-width: 18px; min-height: 16px; padding: 0px 3px; }"
                          "QToolButton:disabled { color: %4; }"
                          "QToolButton:focus { border-color: %5; }")
        .arg(css(Theme::textPrimary()), css(Theme::field()), css(Theme::borderStrong()), css(Theme::textTertiary()),
             css(Theme::accent()));
}

} // namespace

// The stepper ------------------------------------------------------------------------------

WpmStepper::WpmStepper(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Your typing speed"));
    setStyleSheet(stepButtonStyle());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const auto button = [this, layout](const QString& text, const QString& tip, int direction) {
        auto* b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoRepeat(true);
        connect(b, &QToolButton::clicked, this, [this, direction] { Q_EMIT stepped(direction); });
        layout->addWidget(b);
        return b;
    };
    m_down = button(QStringLiteral("\u2212"), QStringLiteral("Slower"), -1);
    m_up = button(QStringLiteral("+"), QStringLiteral("Faster"), +1);
}

void WpmStepper::showValue(double stored)
{
    const int shown = shownWPM(stored);
    m_down->setEnabled(shown > kMinWPM);
    m_up->setEnabled(shown < kMaxWPM);
}

void WpmStepper::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Right) {
        if (m_up->isEnabled())
            Q_EMIT stepped(+1);
        return;
    }
    if (event->key() == Qt::Key_Down || event->key() == Qt::Key_Left) {
        if (m_down->isEnabled())
            Q_EMIT stepped(-1);
        return;
    }
    QWidget::keyPressEvent(event);
}

// A statistics column -------------------------------------------------------------------

StatColumn::StatColumn(const QString& title, QWidget* parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    m_layout->addWidget(PagePieces::caption(title, this));
    m_dash = PagePieces::label(QStringLiteral("\u2014"), 11.5, Theme::textTertiary(), this);
    m_layout->addWidget(m_dash);
    m_layout->addStretch(1);
}

void StatColumn::setRows(const QList<TopRow>& rows)
{
    // Lines are kept by position and only their texts change.
    while (m_lines.size() > rows.size()) {
        Line line = m_lines.takeLast();
        line.row->hide();
        line.row->deleteLater();
    }
    while (m_lines.size() < rows.size()) {
        Line line;
        line.row = new QWidget(this);
        auto* h = new QHBoxLayout(line.row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(10);
        line.label = PagePieces::label(QString(), 11.5, Theme::textSecondary(), line.row);
        line.label->setFont(Theme::systemFont(11.5, QFont::Normal, Theme::FontDesign::Monospaced));
        line.label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line.count = PagePieces::label(QString(), 11, Theme::textTertiary(), line.row);
        h->addWidget(line.label, 1);
        h->addSpacing(8);
        h->addWidget(line.count, 0);
        m_layout->insertWidget(1 + int(m_lines.size()), line.row);
        m_lines.append(line);
    }
    for (int i = 0; i < rows.size(); ++i) {
        const Line& line = m_lines.at(i);
        // One line only: a long trigger is cut with an ellipsis; the tooltip has it whole.
        line.label->setText(rows.at(i).label.simplified());
        line.label->setToolTip(rows.at(i).label);
        line.count->setText(countText(rows.at(i).count));
    }
    m_dash->setVisible(rows.isEmpty());
}

QStringList StatColumn::labels() const
{
    QStringList out;
    for (const Line& l : m_lines)
        out.append(l.label->toolTip());
    return out;
}

QStringList StatColumn::counts() const
{
    QStringList out;
    for (const Line& l : m_lines)
        out.append(l.count->text());
    return out;
}

bool StatColumn::showsDash() const
{
    return !m_dash->isHidden();
}

// The page ---------------------------------------------------------------------------------

GeneralView::GeneralView(AppState& state, LearningEngine& learning, AIVetter& vetter, ToneProfile& tone, AIAccess ai,
                         OnDeviceModel* onDevice, GeneralPlatform platform, QWidget* parent)
    : QWidget(parent), m_state(state), m_platform(std::move(platform))
{
    setPalette(Theme::darkPalette(Theme::bg()));
    setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* content = new QWidget;
    content->setPalette(palette());
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(32, 32, 32, 32);
    page->setSpacing(18);
    const auto caption = [&](const QString& text) { page->addWidget(PagePieces::caption(text, content)); };
    const auto card = [&]() {
        auto* c = new Card(18, content);
        page->addWidget(c);
        return c;
    };

    // 1. Heading.
    page->addWidget(new SectionHeader(QStringLiteral("General"), QStringLiteral("Engine, sound, and app behavior."),
                                      content));

    // 2. Permission.
    m_permission = card();
    auto* permission = new QHBoxLayout;
    permission->setSpacing(14);
    permission->addWidget(new GeneralSymbolView(QStringLiteral("exclamationmark.shield"), 22, Theme::amber()), 0,
                          Qt::AlignVCenter);
    auto* permissionText = new QVBoxLayout;
    permissionText->setSpacing(4);
    permissionText->addWidget(PagePieces::label(QStringLiteral("Accessibility permission required"), 13,
                                                Theme::textPrimary(), nullptr, QFont::DemiBold));
    QLabel* permissionSentence = PagePieces::label(
        QStringLiteral("Quenvil needs to see what you type and replace it, which takes an X11 session (or "
                       "programs running on XWayland) whose X server offers the RECORD, XTEST and XKEYBOARD "
                       "extensions. Once the display can be reached, Quenvil activates automatically. The help "
                       "page explains what to check."),
        11.5, Theme::textSecondary());
    permissionSentence->setWordWrap(true);
    permissionText->addWidget(permissionSentence);
    permission->addLayout(permissionText, 1);
    m_openHelp = new PillButton(QStringLiteral("Open Help"), QString(), true);
    m_openHelp->setAccessibleName(QStringLiteral("Open Help"));
    permission->addWidget(m_openHelp, 0, Qt::AlignVCenter);
    m_permission->addContent(permission);

    // 3. Engine.
    {
        QVBoxLayout* rows = cardStack(card(), 14);
        m_master = toggle(QStringLiteral("Enable Quenvil"));
        rows->addWidget(new SettingRow(QStringLiteral("Enable Quenvil"),
                                       QStringLiteral("Master switch for expansion and spell-fixing."), m_master));
        rows->addWidget(PagePieces::divider());
        m_timing = new SegmentedPicker({QStringLiteral("Instant"), QStringLiteral("After delimiter")},
                                       QStringLiteral("Expansion timing"), 230);
        m_timingRow = new SettingRow(QStringLiteral("Expansion timing"), timingSubtitle(m_state.expansionMode()),
                                     m_timing);
        rows->addWidget(m_timingRow);
        rows->addWidget(PagePieces::divider());
        m_suggestions = toggle(QStringLiteral("Suggest snippets as I type"));
        rows->addWidget(new SettingRow(
            QStringLiteral("Suggest snippets as I type"),
            QStringLiteral("Floats a small hint near the cursor when what you're typing is the start of a snippet "
                           "trigger, so you remember the ones you've made. It never steals focus or changes what "
                           "you type."),
            m_suggestions));
        rows->addWidget(PagePieces::divider());
        m_scripts = toggle(QStringLiteral("Allow script snippets"));
        const QString shell = QFileInfo(ScriptRunner::defaultShell()).fileName();
        rows->addWidget(new SettingRow(
            QStringLiteral("Allow script snippets"),
            QStringLiteral("Shell-script snippets run ") + shell +
                QStringLiteral(" and insert their output (e.g. a UUID or today's branch name). Off by default \u2014 "
                               "only enable if you write your own scripts; they run with your user's permissions."),
            m_scripts));
        rows->addWidget(PagePieces::divider());
        m_launch = toggle(QStringLiteral("Launch at login"));
        rows->addWidget(new SettingRow(QStringLiteral("Launch at login"),
                                       QStringLiteral("Start Quenvil automatically when you log in."), m_launch));
    }

    // 4. Sound.
    caption(QStringLiteral("SOUND"));
    {
        QVBoxLayout* rows = cardStack(card(), 14);
        m_hud = toggle(QStringLiteral("Show on-screen confirmation"));
        rows->addWidget(new SettingRow(
            QStringLiteral("Show on-screen confirmation"),
            QStringLiteral("A brief pill near the bottom of the screen flashes what just happened \u2014 "
                           "\u201C\u2713 ;sig\u201D or \u201Cteh \u2192 the\u201D. It never steals focus."),
            m_hud));
        rows->addWidget(PagePieces::divider());
        m_sound = toggle(QStringLiteral("Play sound on expansion"));
        rows->addWidget(new SettingRow(QStringLiteral("Play sound on expansion"),
                                       QStringLiteral("A soft cue every time a snippet expands."), m_sound));
        m_soundRows = new QWidget;
        auto* extra = new QVBoxLayout(m_soundRows);
        extra->setContentsMargins(0, 0, 0, 0);
        extra->setSpacing(14);
        extra->addWidget(PagePieces::divider());
        auto* picker = new QWidget;
        auto* pickerLayout = new QHBoxLayout(picker);
        pickerLayout->setContentsMargins(0, 0, 0, 0);
        pickerLayout->setSpacing(8);
        m_soundPicker = new ThemedPicker;
        m_soundPicker->setAccessibleName(QStringLiteral("Sound"));
        m_soundPicker->setFixedWidth(140);
        m_soundPicker->setFont(Theme::systemFont(12));
        m_preview = new PillButton(QStringLiteral("Preview"), QStringLiteral("play.fill"), false);
        m_preview->setAccessibleName(QStringLiteral("Preview"));
        pickerLayout->addWidget(m_soundPicker);
        pickerLayout->addWidget(m_preview);
        extra->addWidget(new SettingRow(QStringLiteral("Sound"), std::nullopt, picker));
        extra->addWidget(PagePieces::divider());
        m_correctionSound = toggle(QStringLiteral("Also play on spell fixes"));
        extra->addWidget(new SettingRow(QStringLiteral("Also play on spell fixes"),
                                        QStringLiteral("Off by default so frequent fixes stay quiet."),
                                        m_correctionSound));
        rows->addWidget(m_soundRows);
    }

    // 5. Statistics.
    caption(QStringLiteral("STATISTICS"));
    {
        QVBoxLayout* rows = cardStack(card(), 14);
        auto* speed = new QWidget;
        auto* speedLayout = new QHBoxLayout(speed);
        speedLayout->setContentsMargins(0, 0, 0, 0);
        speedLayout->setSpacing(8);
        m_wpm = PagePieces::label(QString(), 12, Theme::textPrimary(), speed);
        m_wpm->setFont(Theme::systemFont(12, QFont::Medium, Theme::FontDesign::Monospaced));
        m_stepper = new WpmStepper(speed);
        speedLayout->addWidget(m_wpm, 0, Qt::AlignVCenter);
        speedLayout->addWidget(m_stepper, 0, Qt::AlignVCenter);
        m_speedRow = new SettingRow(QStringLiteral("Your typing speed"), QString(), speed);
        rows->addWidget(m_speedRow);
        rows->addWidget(PagePieces::divider());
        m_topLists = new QWidget;
        auto* lists = new QHBoxLayout(m_topLists);
        lists->setContentsMargins(0, 0, 0, 0);
        lists->setSpacing(24);
        m_topSnippets = new StatColumn(QStringLiteral("TOP SNIPPETS"), m_topLists);
        m_topApps = new StatColumn(QStringLiteral("TOP APPS"), m_topLists);
        lists->addWidget(m_topSnippets, 1, Qt::AlignTop);
        lists->addWidget(m_topApps, 1, Qt::AlignTop);
        rows->addWidget(m_topLists);
        m_noUsage = PagePieces::label(
            QStringLiteral("No expansions recorded yet \u2014 usage shows up here as you type."), 11.5,
            Theme::textTertiary());
        m_noUsage->setWordWrap(true);
        rows->addWidget(m_noUsage);
    }

    // 6. Learning.
    caption(QStringLiteral("LEARNING"));
    m_learning = toggle(QStringLiteral("Learn from my typing"));
    card()->addContent(new SettingRow(
        QStringLiteral("Learn from my typing"),
        QStringLiteral("Spots typos you fix by hand and phrases you retype, and collects them in Suggestions for "
                       "your approval \u2014 nothing is ever applied on its own. Learning stays on this computer and "
                       "pauses automatically in password fields (secure input), terminals, and spell-fix-excluded "
                       "apps."),
        m_learning));

    // 7. AI.
    caption(QStringLiteral("AI"));
    m_ai = new AISettingsCard(m_state, learning, vetter, tone, std::move(ai), onDevice, m_platform.secureInput);
    cardStack(card(), 14)->addWidget(m_ai);

    // 8. App behaviour.
    caption(QStringLiteral("APP BEHAVIOR"));
    {
        QVBoxLayout* rows = cardStack(card(), 12);
        rows->addWidget(new SettingRow(
            QStringLiteral("Terminals are protected"),
            QStringLiteral("In GNOME Terminal, Konsole, Warp, Ghostty, kitty and friends, snippets still expand but "
                           "spell-fixing is always off \u2014 commands and flags are never rewritten."),
            new GeneralSymbolView(QStringLiteral("terminal"), 15, Theme::green())));
        rows->addWidget(PagePieces::divider());
        auto* excluded = new QVBoxLayout;
        excluded->setSpacing(8);
        excluded->addWidget(PagePieces::label(QStringLiteral("Spell-fix disabled in these apps"), 13,
                                              Theme::textPrimary(), nullptr, QFont::Medium));
        QLabel* note = PagePieces::label(
            QStringLiteral("Window classes. Code editors are excluded by default so identifiers don\u2019t get "
                           "\u201Cfixed\u201D."),
            11.5, Theme::textSecondary());
        note->setWordWrap(true);
        excluded->addWidget(note);
        m_chipBox = new QWidget;
        m_chipLayout = new FlowLayout(m_chipBox, 6);
        excluded->addWidget(m_chipBox);
        auto* add = new QHBoxLayout;
        add->setSpacing(8);
        m_excludedField = new ThemedTextField(QStringLiteral("firefox"), true);
        m_excludedField->setAccessibleName(QStringLiteral("Spell-fix disabled in these apps"));
        m_excludedField->setFixedWidth(240);
        m_addExcluded = new PillButton(QStringLiteral("Add"), QStringLiteral("plus"), false);
        m_addExcluded->setAccessibleName(QStringLiteral("Add"));
        add->addWidget(m_excludedField);
        add->addWidget(m_addExcluded);
        add->addStretch(1);
        excluded->addLayout(add);
        rows->addLayout(excluded);
    }

    // 9. Backups.
    caption(QStringLiteral("BACKUPS"));
    {
        QVBoxLayout* rows = cardStack(card(), 8);
        auto* buttons = new QWidget;
        auto* buttonsLayout = new QHBoxLayout(buttons);
        buttonsLayout->setContentsMargins(0, 0, 0, 0);
        buttonsLayout->setSpacing(8);
        m_backUpNow = new PillButton(QStringLiteral("Back up now"), QStringLiteral("arrow.down.doc"), false);
        m_backUpNow->setAccessibleName(QStringLiteral("Back up now"));
        m_showBackups = new PillButton(QStringLiteral("Show in File Manager"), QStringLiteral("folder"), false);
        m_showBackups->setAccessibleName(QStringLiteral("Show in File Manager"));
        buttonsLayout->addWidget(m_backUpNow);
        buttonsLayout->addWidget(m_showBackups);
        m_backupRow = new SettingRow(QStringLiteral("Daily backups"), QString(), buttons);
        rows->addWidget(m_backupRow);
        m_backupProblem = PagePieces::label(QStringLiteral("Backup failed"), 11, Theme::amber());
        m_backupProblem->setVisible(false);
        rows->addWidget(m_backupProblem);
    }

    // 10. Footer.
    {
        auto* footer = new QHBoxLayout;
        footer->setContentsMargins(0, 4, 0, 0);
        m_footer = PagePieces::label(QStringLiteral("Quenvil \u00B7 native X11 \u00B7 zero clipboard use \u00B7 "
                                                    "everything stays on this computer"),
                                     11, Theme::textTertiary());
        m_tour = new PillButton(QStringLiteral("Show welcome tour"), QStringLiteral("sparkles"), false);
        m_tour->setAccessibleName(QStringLiteral("Show welcome tour"));
        footer->addWidget(m_footer, 0, Qt::AlignVCenter);
        footer->addStretch(1);
        footer->addWidget(m_tour, 0, Qt::AlignVCenter);
        page->addLayout(footer);
    }
    page->addStretch(1);
    m_scroll->setWidget(content);
    m_scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(m_scroll);

    // Filled from the store before any control can write: showing the page writes nothing.
    bindToggle(m_master, m_state, &AppState::masterEnabled, &AppState::setMasterEnabled,
               &AppState::masterEnabledChanged);
    bindToggle(m_suggestions, m_state, &AppState::inlineSuggestionsEnabled, &AppState::setInlineSuggestionsEnabled,
               &AppState::inlineSuggestionsEnabledChanged);
    bindToggle(m_scripts, m_state, &AppState::scriptSnippetsEnabled, &AppState::setScriptSnippetsEnabled,
               &AppState::scriptSnippetsEnabledChanged);
    bindToggle(m_hud, m_state, &AppState::hudEnabled, &AppState::setHudEnabled, &AppState::hudEnabledChanged);
    bindToggle(m_sound, m_state, &AppState::soundEnabled, &AppState::setSoundEnabled,
               &AppState::soundEnabledChanged);
    bindToggle(m_correctionSound, m_state, &AppState::correctionSoundEnabled, &AppState::setCorrectionSoundEnabled,
               &AppState::correctionSoundEnabledChanged);
    bindToggle(m_learning, m_state, &AppState::learningEnabled, &AppState::setLearningEnabled,
               &AppState::learningEnabledChanged);
    refreshPermission();
    refreshEngine();
    refreshSound();
    refreshStatistics();
    refreshChips();
    refreshBackup();
    refreshLaunch();

    // The user's changes.
    connect(m_openHelp, &QAbstractButton::clicked, this, [] { Notifier::openAccessibilitySettings(); });
    connect(m_timing, &SegmentedPicker::chosen, this, [this](int index) {
        m_state.setExpansionMode(index == 1 ? ExpansionMode::delimiter : ExpansionMode::instant);
    });
    connect(m_launch, &AccentToggle::toggled, this, &GeneralView::setLaunchAtLogin);
    connect(m_soundPicker, &QComboBox::activated, this, [this](int index) {
        const QString name = m_soundPicker->itemText(index);
        if (name != m_state.soundName())
            m_state.setSoundName(name);
    });
    connect(m_preview, &QAbstractButton::clicked, this, [this] { SoundPlayer::play(m_state.soundName()); });
    connect(m_stepper, &WpmStepper::stepped, this,
            [this](int direction) { m_state.setTypingWPM(steppedWPM(m_state.typingWPM(), direction)); });
    connect(m_addExcluded, &QAbstractButton::clicked, this, &GeneralView::addExcludedApp);
    connect(m_backUpNow, &QAbstractButton::clicked, this, &GeneralView::backUpNow);
    connect(m_showBackups, &QAbstractButton::clicked, this, [this] {
        const QString folder = backupsFolder();
        AtomicFile::ensurePrivateDir(folder);
        if (m_platform.revealFolder)
            m_platform.revealFolder(folder);
        else
            revealInFileManager(folder);
    });
    connect(m_tour, &QAbstractButton::clicked, this, [this] { m_state.setShowOnboarding(true); });

    // What the page follows.
    connect(&m_state, &AppState::accessibilityGrantedChanged, this, &GeneralView::refreshPermission);
    connect(&m_state, &AppState::expansionModeChanged, this, &GeneralView::refreshEngine);
    connect(&m_state, &AppState::soundEnabledChanged, this, &GeneralView::refreshSound);
    connect(&m_state, &AppState::soundNameChanged, this, &GeneralView::refreshSound);
    for (auto signal : {&AppState::usageBySnippetChanged, &AppState::usageByAppChanged, &AppState::snippetsChanged})
        connect(&m_state, signal, this, &GeneralView::refreshStatistics);
    for (auto signal : {&AppState::statCharsSavedChanged, &AppState::statCorrectionsChanged})
        connect(&m_state, signal, this, &GeneralView::refreshStatistics);
    connect(&m_state, &AppState::typingWPMChanged, this, &GeneralView::refreshStatistics);
    connect(&m_state, &AppState::spellFixExcludedAppsChanged, this, &GeneralView::refreshChips);
}

GeneralView::~GeneralView() = default;

void GeneralView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // What the desktop and the backups folder say can change behind the page's back.
    refreshLaunch();
    refreshBackup();
}

void GeneralView::refreshPermission()
{
    m_permission->setVisible(!m_state.accessibilityGranted());
}

void GeneralView::refreshEngine()
{
    const ExpansionMode mode = m_state.expansionMode();
    m_timing->setCurrent(mode == ExpansionMode::delimiter ? 1 : 0);
    m_timingRow->setSubtitle(timingSubtitle(mode));
}

void GeneralView::refreshSound()
{
    m_soundRows->setVisible(m_state.soundEnabled());
    const QString name = m_state.soundName();
    QStringList items = SoundPlayer::soundNames();
    // A stored name the list lacks is shown as it is, and left alone.
    if (!items.contains(name))
        items.prepend(name);
    QStringList current;
    for (int i = 0; i < m_soundPicker->count(); ++i)
        current.append(m_soundPicker->itemText(i));
    const QSignalBlocker blocker(m_soundPicker);
    if (current != items) {
        m_soundPicker->clear();
        m_soundPicker->addItems(items);
    }
    m_soundPicker->setCurrentIndex(int(items.indexOf(name)));
}

void GeneralView::refreshStatistics()
{
    const double wpm = m_state.typingWPM();
    m_wpm->setText(wpmText(wpm));
    m_stepper->showValue(wpm);
    m_speedRow->setSubtitle(QStringLiteral("Used for the time-saved estimate (") + m_state.timeSavedLabel() +
                            QStringLiteral(" so far)."));
    const QList<TopRow> snippets = topSnippets(m_state.usageBySnippet(), m_state.snippets());
    const QList<TopRow> apps = topApps(m_state.usageByApp());
    m_topSnippets->setRows(snippets);
    m_topApps->setRows(apps);
    const bool any = !snippets.isEmpty() || !apps.isEmpty();
    m_topLists->setVisible(any);
    m_noUsage->setVisible(!any);
}

void GeneralView::refreshChips()
{
    // Chips are kept by their text: an unchanged entry keeps its chip (and its hover).
    const QStringList apps = m_state.spellFixExcludedApps();
    QList<ExcludedAppChip*> old = m_chips;
    QList<ExcludedAppChip*> next;
    for (const QString& app : apps) {
        ExcludedAppChip* chip = nullptr;
        for (int i = 0; i < old.size(); ++i) {
            if (old.at(i)->bundleID() == app) {
                chip = old.takeAt(i);
                break;
            }
        }
        if (!chip) {
            AppState* state = &m_state;
            chip = new ExcludedAppChip(app, [state, app] {
                state->setSpellFixExcludedApps(removingApp(state->spellFixExcludedApps(), app));
            });
        }
        next.append(chip);
    }
    while (m_chipLayout->count() > 0)
        delete m_chipLayout->takeAt(0);
    for (ExcludedAppChip* chip : old) {
        // Possibly inside its own cross's click: gone once the click is over.
        chip->hide();
        chip->deleteLater();
    }
    for (ExcludedAppChip* chip : next) {
        m_chipLayout->addWidget(chip);
        chip->show();
    }
    m_chips = next;
}

void GeneralView::addExcludedApp()
{
    const std::optional<QStringList> next = addingApp(m_state.spellFixExcludedApps(), m_excludedField->text());
    if (!next)
        return;
    m_state.setSpellFixExcludedApps(*next);
    m_excludedField->clear();
}

QString GeneralView::backupsFolder() const
{
    return Paths::dataHome() + QStringLiteral("/Quenvil/Backups");
}

void GeneralView::refreshBackup()
{
    m_backupRow->setSubtitle(
        backupSubtitle(homeRelative(backupsFolder()), lastBackupLabel(BackupManager::lastBackupDate())));
}

void GeneralView::backUpNow()
{
    const std::optional<QDate> newest = BackupManager::backupNow();
    m_backupProblem->setVisible(!backupSucceeded(newest, BackupManager::now().date()));
    refreshBackup();
}

void GeneralView::refreshLaunch()
{
    const bool on = m_platform.launchAtLogin && m_platform.launchAtLogin->isEnabled();
    m_launch->setEnabled(m_platform.launchAtLogin != nullptr);
    if (m_launch->isOn() != on) {
        const QSignalBlocker blocker(m_launch);
        m_launch->setOn(on);
    }
}

void GeneralView::setLaunchAtLogin(bool on)
{
    if (!m_platform.launchAtLogin)
        return;
    // On failure the switch goes back to what the desktop really does.
    if (!m_platform.launchAtLogin->setEnabled(on))
        refreshLaunch();
}

void GeneralView::revealInFileManager(const QString& folder)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(folder).toString()} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp, [watcher, folder] {
        // No file manager on the bus: the folder itself, opened by the desktop.
        if (watcher->isError())
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        watcher->deleteLater();
    });
}
