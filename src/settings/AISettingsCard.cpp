#include "settings/AISettingsCard.h"

#include "ai/AIVetter.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "ai/ToneProfile.h"
#include "model/AppState.h"
#include "platform/SecureInput.h"
#include "settings/AISettingsLogic.h"
#include "settings/GeneralLogic.h"
#include "settings/PagePieces.h"
#include "ui/AccentToggle.h"
#include "ui/PillButton.h"
#include "ui/SettingRow.h"
#include "ui/Theme.h"
#include "ui/ThemedSecureField.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using namespace AISettingsLogic;

// Symbols ------------------------------------------------------------------------------

namespace GeneralSymbols {

namespace {

QPainterPath line(QPointF a, QPointF b)
{
    QPainterPath p;
    p.moveTo(a);
    p.lineTo(b);
    return p;
}

QPainterPath stroke(const QPainterPath& path, qreal width)
{
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(Qt::RoundCap);
    s.setJoinStyle(Qt::RoundJoin);
    return s.createStroke(path);
}

QPainterPath exclamation(qreal top, qreal bottom, qreal dotY, qreal width)
{
    QPainterPath p = stroke(line({8, top}, {8, bottom}), width);
    p.addEllipse(QPointF(8, dotY), width * 0.6, width * 0.6);
    return p;
}

// Filled outlines on the 16 x 16 grid of the shared symbols; none for another name.
std::optional<QPainterPath> drawing(const QString& name, qreal width)
{
    if (name == QLatin1String("checkmark.circle.fill")) {
        QPainterPath disc;
        disc.addEllipse(QPointF(8, 8), 7, 7);
        QPainterPath mark;
        mark.moveTo(4.8, 8.3);
        mark.lineTo(7.1, 10.5);
        mark.lineTo(11.2, 5.6);
        return disc.subtracted(stroke(mark, 1.7));
    }
    if (name == QLatin1String("exclamationmark.circle")) {
        QPainterPath ring;
        ring.addEllipse(QPointF(8, 8), 6.6, 6.6);
        QPainterPath p = stroke(ring, width);
        p.addPath(exclamation(4.6, 8.8, 11.3, width));
        return p;
    }
    if (name == QLatin1String("exclamationmark.shield")) {
        QPainterPath shield;
        shield.moveTo(8, 1.6);
        shield.lineTo(13.4, 3.5);
        shield.lineTo(13.4, 8);
        shield.cubicTo(13.4, 11.3, 10.9, 13.5, 8, 14.5);
        shield.cubicTo(5.1, 13.5, 2.6, 11.3, 2.6, 8);
        shield.lineTo(2.6, 3.5);
        shield.closeSubpath();
        QPainterPath p = stroke(shield, width);
        p.addPath(exclamation(4.8, 8.6, 11.0, width));
        return p;
    }
    if (name == QLatin1String("terminal")) {
        QPainterPath frame;
        frame.addRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
        QPainterPath p = stroke(frame, width);
        QPainterPath prompt;
        prompt.moveTo(4.2, 6);
        prompt.lineTo(6.6, 8);
        prompt.lineTo(4.2, 10);
        p.addPath(stroke(prompt, width));
        p.addPath(stroke(line({8, 10.3}, {11.6, 10.3}), width));
        return p;
    }
    return std::nullopt;
}

} // namespace

bool canDraw(const QString& name)
{
    return drawing(name, 1).has_value() || PagePieces::canDrawSymbol(name);
}

void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, int weight)
{
    const qreal width = 1.3 + (qBound(100, weight, 900) - 400) / 500.0;
    const std::optional<QPainterPath> path = drawing(name, width);
    if (!path) {
        PagePieces::paintSymbol(painter, name, box, color, weight);
        return;
    }
    if (box.isEmpty())
        return;
    const qreal side = qMin(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(side / 16.0, side / 16.0);
    painter.fillPath(*path, color);
    painter.restore();
}

} // namespace GeneralSymbols

GeneralSymbolView::GeneralSymbolView(const QString& symbol, qreal size, const QColor& color, QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_size(size), m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void GeneralSymbolView::set(const QString& symbol, const QColor& color)
{
    if (symbol == m_symbol && color == m_color)
        return;
    m_symbol = symbol;
    m_color = color;
    update();
}

QSize GeneralSymbolView::sizeHint() const
{
    const int side = int(std::ceil(m_size * 1.2));
    return {side, side};
}

void GeneralSymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal side = std::min(width(), height());
    GeneralSymbols::paint(painter, m_symbol, QRectF((width() - side) / 2, (height() - side) / 2, side, side), m_color);
}

// The segmented picker ---------------------------------------------------------------------

SegmentedPicker::SegmentedPicker(const QStringList& titles, const QString& accessibleName, int width,
                                 QWidget* parent)
    : QWidget(parent)
{
    setAccessibleName(accessibleName);
    setFixedWidth(width);
    setStyleSheet(
        QStringLiteral("QToolButton { color: %1; background: %2; border: 1px solid %3; padding: 3px 6px; }"
                       "QToolButton:checked { color: white; background: %4; border-color: %4; }"
                       "QToolButton:focus { border-color: %4; }")
            .arg(Theme::textSecondary().name(QColor::HexArgb), Theme::field().name(QColor::HexArgb),
                 Theme::borderStrong().name(QColor::HexArgb), Theme::accent().name(QColor::HexArgb)));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    for (int i = 0; i < titles.size(); ++i) {
        auto* b = new QToolButton(this);
        b->setText(titles.at(i));
        b->setAccessibleName(titles.at(i));
        b->setCheckable(true);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setFont(Theme::systemFont(11, QFont::Medium));
        m_group->addButton(b, i);
        layout->addWidget(b);
    }
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == m_current)
            return;
        m_current = id;
        Q_EMIT chosen(id);
    });
}

void SegmentedPicker::setCurrent(int index)
{
    m_current = index;
    if (QAbstractButton* b = m_group->button(index)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = m_group->checkedButton()) {
        // A value the picker has no segment for shows no segment chosen.
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
    }
}

QAbstractButton* SegmentedPicker::segment(int index) const
{
    return m_group->button(index);
}

int SegmentedPicker::count() const
{
    return int(m_group->buttons().size());
}

// The card ---------------------------------------------------------------------------------

namespace {

QWidget* column(QWidget* parent, int spacing, QVBoxLayout** layout)
{
    auto* w = new QWidget(parent);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    *layout = l;
    return w;
}

SegmentedPicker* backendPicker(const QString& name, QWidget* parent)
{
    QStringList titles;
    for (AIBackend b : backends())
        titles.append(backendLabel(b));
    return new SegmentedPicker(titles, name, 230, parent);
}

QLabel* captionedField(const QString& caption, QHBoxLayout* row, QWidget* parent)
{
    QLabel* l = PagePieces::label(caption, 11, Theme::textSecondary(), parent);
    row->addWidget(l);
    return l;
}

} // namespace

AISettingsCard::AISettingsCard(AppState& state, LearningEngine& learning, AIVetter& vetter, ToneProfile& tone,
                               AIAccess ai, OnDeviceModel* onDevice, SecureInput* secureInput, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_learning(learning)
    , m_vetter(vetter)
    , m_tone(tone)
    , m_ai(std::move(ai))
    , m_onDevice(onDevice)
    , m_secureInput(secureInput)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(14);

    // 1. The on-device model: status, then where its server is.
    QVBoxLayout* onDeviceLayout = nullptr;
    QWidget* onDeviceBlock = column(this, 8, &onDeviceLayout);
    auto* indicator = new QWidget;
    auto* indicatorLayout = new QHBoxLayout(indicator);
    indicatorLayout->setContentsMargins(0, 0, 0, 0);
    indicatorLayout->setSpacing(5);
    m_statusSymbol = new GeneralSymbolView(QStringLiteral("exclamationmark.circle"), 11, Theme::amber(), indicator);
    m_statusLabel = PagePieces::label(QString(), 11, Theme::amber(), indicator, QFont::Medium);
    indicatorLayout->addWidget(m_statusSymbol, 0, Qt::AlignVCenter);
    indicatorLayout->addWidget(m_statusLabel, 0, Qt::AlignVCenter);
    m_onDeviceRow = new SettingRow(QStringLiteral("On-device model"), onDeviceSubtitle(QString()), indicator,
                                   onDeviceBlock);
    onDeviceLayout->addWidget(m_onDeviceRow);
    auto* server = new QHBoxLayout;
    server->setSpacing(8);
    captionedField(QStringLiteral("Server address"), server, onDeviceBlock);
    m_serverField = new ThemedTextField(QStringLiteral("http://127.0.0.1:11434"), true, onDeviceBlock);
    m_serverField->setAccessibleName(QStringLiteral("Server address"));
    m_serverField->setFixedWidth(220);
    server->addWidget(m_serverField);
    server->addSpacing(6);
    captionedField(QStringLiteral("Model"), server, onDeviceBlock);
    m_modelField = new ThemedTextField(QStringLiteral("llama3.2"), true, onDeviceBlock);
    m_modelField->setAccessibleName(QStringLiteral("Model"));
    m_modelField->setFixedWidth(160);
    server->addWidget(m_modelField);
    server->addStretch(1);
    onDeviceLayout->addLayout(server);
    m_addressProblem = PagePieces::label(QString(), 11, Theme::amber(), onDeviceBlock);
    m_addressProblem->setWordWrap(true);
    m_addressProblem->setVisible(false);
    onDeviceLayout->addWidget(m_addressProblem);
    stack->addWidget(onDeviceBlock);

    // 2–4. A back end for each feature.
    const QString rewriteKeys = QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R).toString(QKeySequence::NativeText);
    m_writing = backendPicker(QStringLiteral("AI snippets & rewrite"), nullptr);
    m_vetting = backendPicker(QStringLiteral("Vet learned suggestions"), nullptr);
    m_learningPicker = backendPicker(QStringLiteral("Smart phrase templates"), nullptr);
    stack->addWidget(PagePieces::divider(this));
    stack->addWidget(new SettingRow(QStringLiteral("AI snippets & rewrite"), writingSubtitle(rewriteKeys), m_writing, this));
    stack->addWidget(PagePieces::divider(this));
    stack->addWidget(new SettingRow(
        QStringLiteral("Vet learned suggestions"),
        QStringLiteral("Judges whether a learned typo fix is safe to apply everywhere or a phrase is worth a "
                       "snippet. On-device vets automatically; OpenAI vets when you press \u201CVet with AI\u201D in "
                       "Suggestions."),
        m_vetting, this));
    stack->addWidget(PagePieces::divider(this));
    stack->addWidget(new SettingRow(
        QStringLiteral("Smart phrase templates"),
        QStringLiteral("Turns a repeated phrase into a reusable template by abstracting the variable parts into "
                       "fill-in fields (e.g. \u201CHi {field:name}, thanks for {field:thing}\u201D)."),
        m_learningPicker, this));

    // 5. Writing style, and 6. its profile (no divider between them).
    m_toneToggle = new AccentToggle(false);
    m_toneToggle->setAccessibleName(QStringLiteral("Use my writing style"));
    stack->addWidget(PagePieces::divider(this));
    stack->addWidget(new SettingRow(
        QStringLiteral("Use my writing style"),
        QStringLiteral("Learns a tone profile from your own writing (on-device) and adds a \u201CRewrite in my "
                       "voice\u201D option to the rewrite menu, so edits sound like you."),
        m_toneToggle, this));
    QVBoxLayout* toneLayout = nullptr;
    m_toneBlock = column(this, 8, &toneLayout);
    toneLayout->setContentsMargins(2, 0, 0, 0);
    m_profile = PagePieces::label(QString(), 11.5, Theme::textSecondary(), m_toneBlock);
    m_profile->setWordWrap(true);
    m_profile->setAutoFillBackground(false);
    m_profile->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 7px; padding: 10px; }")
                                 .arg(Theme::field().name(QColor::HexArgb)));
    toneLayout->addWidget(m_profile);
    m_noProfile = PagePieces::label(QString(), 11, Theme::textTertiary(), m_toneBlock);
    m_noProfile->setWordWrap(true);
    toneLayout->addWidget(m_noProfile);
    auto* toneButtons = new QHBoxLayout;
    toneButtons->setSpacing(8);
    m_toneButton = new PillButton(QStringLiteral("Build profile"), QStringLiteral("sparkles"), true, m_toneBlock);
    m_sampleCount = PagePieces::label(QString(), 10.5, Theme::textTertiary(), m_toneBlock);
    toneButtons->addWidget(m_toneButton);
    toneButtons->addWidget(m_sampleCount);
    toneButtons->addStretch(1);
    toneLayout->addLayout(toneButtons);
    stack->addWidget(m_toneBlock);

    // 7. The OpenAI key, with the divider before it.
    QVBoxLayout* keyOuter = nullptr;
    m_keyBlock = column(this, 14, &keyOuter);
    keyOuter->addWidget(PagePieces::divider(m_keyBlock));
    QVBoxLayout* keyLayout = nullptr;
    QWidget* keyStack = column(m_keyBlock, 10, &keyLayout);
    keyOuter->addWidget(keyStack);
    m_keySaved = new QWidget;
    auto* saved = new QHBoxLayout(m_keySaved);
    saved->setContentsMargins(0, 0, 0, 0);
    saved->setSpacing(8);
    auto* savedMark = new QHBoxLayout;
    savedMark->setSpacing(5);
    savedMark->addWidget(new GeneralSymbolView(QStringLiteral("checkmark.circle.fill"), 11, Theme::green()), 0,
                         Qt::AlignVCenter);
    savedMark->addWidget(PagePieces::label(QStringLiteral("Key saved"), 11, Theme::green(), nullptr, QFont::Medium), 0,
                         Qt::AlignVCenter);
    saved->addLayout(savedMark);
    m_removeKey = new PillButton(QStringLiteral("Remove"), QStringLiteral("trash"), false, m_keySaved);
    m_removeKey->setAccessibleName(QStringLiteral("Remove"));
    saved->addWidget(m_removeKey);
    keyLayout->addWidget(new SettingRow(QStringLiteral("OpenAI key"), keySubtitle(OpenAIClient::model()), m_keySaved,
                                        keyStack));
    m_keyEntry = new QWidget(keyStack);
    auto* entry = new QHBoxLayout(m_keyEntry);
    entry->setContentsMargins(0, 0, 0, 0);
    entry->setSpacing(8);
    m_keyField = new ThemedSecureField(QStringLiteral("OpenAI API key (sk-\u2026)"), m_keyEntry);
    m_keyField->setAccessibleName(QStringLiteral("OpenAI API key (sk-\u2026)"));
    m_keyField->setFixedWidth(280);
    m_saveKey = new PillButton(QStringLiteral("Save key"), QStringLiteral("key.fill"), true, m_keyEntry);
    m_saveKey->setAccessibleName(QStringLiteral("Save key"));
    entry->addWidget(m_keyField);
    entry->addWidget(m_saveKey);
    entry->addStretch(1);
    keyLayout->addWidget(m_keyEntry);
    m_keyProblem = PagePieces::label(QString(), 11, Theme::amber(), keyStack);
    m_keyProblem->setWordWrap(true);
    m_keyProblem->setVisible(false);
    keyLayout->addWidget(m_keyProblem);
    stack->addWidget(m_keyBlock);

    // Filled before anything is connected: showing the card writes nothing.
    if (m_onDevice) {
        m_serverField->setText(m_onDevice->serverURL());
        m_modelField->setText(m_onDevice->modelName());
    }
    m_saveKey->setOpacity(saveKeyOpacity(QString()));
    refresh();

    // The user's changes.
    const auto choose = [this](SegmentedPicker* picker, void (AppState::*set)(AIBackend)) {
        connect(picker, &SegmentedPicker::chosen, this, [this, set](int index) {
            if (index >= 0 && index < backends().size())
                (m_state.*set)(backends().at(index));
        });
    };
    choose(m_writing, &AppState::setAiWritingBackend);
    choose(m_vetting, &AppState::setAiVettingBackend);
    choose(m_learningPicker, &AppState::setAiLearningBackend);
    connect(m_toneToggle, &AccentToggle::toggled, this, [this](bool on) {
        if (m_state.useToneProfile() != on)
            m_state.setUseToneProfile(on);
    });
    connect(m_toneButton, &QAbstractButton::clicked, this, [this] { m_tone.refreshToneProfile(); });
    connect(m_removeKey, &QAbstractButton::clicked, this, [this] { m_vetter.removeKey(); });
    connect(m_saveKey, &QAbstractButton::clicked, this, &AISettingsCard::saveKey);
    connect(m_keyField, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_saveKey->setOpacity(saveKeyOpacity(text)); });
    connect(m_keyField, &ThemedTextField::focusChanged, this, &AISettingsCard::setSecureFocus);
    // Typed text is taken when the user is done with the field. A change made while the field
    // does not have the keyboard (an assistive tool setting the whole text through the
    // accessibility interface) is a finished edit of its own: no editing-finished follows it.
    connect(m_serverField, &QLineEdit::editingFinished, this, &AISettingsCard::commitServer);
    connect(m_serverField, &QLineEdit::textChanged, this, [this] {
        m_addressProblem->setVisible(false);
        if (!m_serverField->hasFocus())
            commitServer();
    });
    connect(m_modelField, &QLineEdit::editingFinished, this, &AISettingsCard::commitModel);
    connect(m_modelField, &QLineEdit::textChanged, this, [this] {
        if (!m_modelField->hasFocus())
            commitModel();
    });

    // What the card follows.
    connect(&m_state, &AppState::aiWritingBackendChanged, this, &AISettingsCard::refresh);
    connect(&m_state, &AppState::aiVettingBackendChanged, this, &AISettingsCard::refresh);
    connect(&m_state, &AppState::aiLearningBackendChanged, this, &AISettingsCard::refresh);
    connect(&m_state, &AppState::useToneProfileChanged, this, &AISettingsCard::refresh);
    connect(&m_learning, &LearningEngine::toneProfileChanged, this, &AISettingsCard::refreshTone);
    connect(&m_learning, &LearningEngine::isBuildingToneChanged, this, &AISettingsCard::refreshTone);
    connect(&m_learning, &LearningEngine::phraseCandidatesChanged, this, &AISettingsCard::refreshTone);
    connect(&m_learning, &LearningEngine::correctionCandidatesChanged, this, &AISettingsCard::refreshTone);
    connect(&m_vetter, &AIVetter::hasKeyChanged, this, &AISettingsCard::refresh);
    if (m_onDevice)
        connect(m_onDevice, &OnDeviceModel::statusChanged, this, &AISettingsCard::refresh);
}

AISettingsCard::~AISettingsCard()
{
    // A field destroyed while it has the keyboard gets no focus-out.
    setSecureFocus(false);
}

void AISettingsCard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void AISettingsCard::refresh()
{
    refreshStatus();
    refreshPickers();
    refreshTone();
    refreshKey();
}

void AISettingsCard::refreshStatus()
{
    const bool ready = m_onDevice && m_onDevice->isReady();
    const QString sentence = m_onDevice ? m_onDevice->statusText()
                                        : OnDeviceModel::statusText(OnDeviceModel::Status::unavailable);
    m_onDeviceRow->setSubtitle(onDeviceSubtitle(sentence));
    const QColor colour = ready ? Theme::green() : Theme::amber();
    m_statusSymbol->set(ready ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("exclamationmark.circle"),
                        colour);
    m_statusLabel->setText(ready ? QStringLiteral("Ready") : QStringLiteral("Unavailable"));
    m_statusLabel->setAccessibleName(m_statusLabel->text());
    QPalette p = m_statusLabel->palette();
    p.setColor(QPalette::WindowText, colour);
    m_statusLabel->setPalette(p);
}

void AISettingsCard::refreshPickers()
{
    m_writing->setCurrent(int(backends().indexOf(m_state.aiWritingBackend())));
    m_vetting->setCurrent(int(backends().indexOf(m_state.aiVettingBackend())));
    m_learningPicker->setCurrent(int(backends().indexOf(m_state.aiLearningBackend())));
    if (m_toneToggle->isOn() != m_state.useToneProfile()) {
        const QSignalBlocker blocker(m_toneToggle);
        m_toneToggle->setOn(m_state.useToneProfile());
    }
}

void AISettingsCard::refreshTone()
{
    ToneInput in;
    in.useToneProfile = m_state.useToneProfile();
    in.writingBackend = m_state.aiWritingBackend();
    in.samples = int(m_learning.writingSamples().size());
    in.hasProfile = m_learning.toneProfile().has_value();
    in.ready = m_ai.isReady && in.writingBackend != AIBackend::off && m_ai.isReady(in.writingBackend);
    in.building = m_learning.isBuildingTone();
    const ToneBlock b = AISettingsLogic::toneBlock(in);
    m_toneBlock->setVisible(b.shown);
    m_profile->setText(m_learning.toneProfile().value_or(QString()));
    m_profile->setVisible(in.hasProfile);
    m_noProfile->setText(b.emptyText);
    m_noProfile->setVisible(!in.hasProfile);
    m_toneButton->setTitle(b.buttonTitle);
    m_toneButton->setAccessibleName(b.buttonTitle);
    m_toneButton->setProminent(b.prominent);
    m_toneButton->setEnabled(b.enabled);
    m_toneButton->setOpacity(b.opacity);
    m_sampleCount->setText(b.sampleCount);
    m_sampleCount->setVisible(in.hasProfile);
}

void AISettingsCard::refreshKey()
{
    m_keyBlock->setVisible(m_state.anyBackendUsesOpenAI());
    const bool hasKey = m_vetter.hasKey();
    m_keySaved->setVisible(hasKey);
    m_keyEntry->setVisible(!hasKey);
    if (hasKey)
        m_keyProblem->setVisible(false);
}

void AISettingsCard::saveKey()
{
    const QString typed = m_keyField->text();
    const bool blank = typed.trimmed().isEmpty();
    const bool saved = m_vetter.saveKey(typed);
    if (saved || blank) {
        m_keyField->clear();
        m_keyProblem->setVisible(false);
    } else {
        // The typed key stays for the user to correct; it was not stored.
        m_keyProblem->setText(keyRefusal(typed, GeneralLogic::homeRelative(AppState::supportDir())));
        m_keyProblem->setVisible(true);
    }
    refreshKey();
}

void AISettingsCard::commitServer()
{
    if (!m_onDevice)
        return;
    const QString typed = m_serverField->text().trimmed();
    if (const std::optional<QString> problem = AISettingsLogic::addressProblem(typed)) {
        m_addressProblem->setText(*problem);
        m_addressProblem->setVisible(true);
        return;
    }
    m_addressProblem->setVisible(false);
    if (typed != m_onDevice->serverURL())
        m_onDevice->setServerURL(typed);
}

void AISettingsCard::commitModel()
{
    if (!m_onDevice)
        return;
    const QString typed = m_modelField->text().trimmed();
    if (typed != m_onDevice->modelName())
        m_onDevice->setModelName(typed);
}

void AISettingsCard::setSecureFocus(bool focused)
{
    if (focused == m_secureFocused)
        return;
    m_secureFocused = focused;
    if (m_secureInput)
        m_secureInput->setOwnSecureFieldFocused(focused);
}
