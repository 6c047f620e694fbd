#pragma once

#include "ai/AIAccess.h"
#include "model/Models.h"

#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QStringList>
#include <QWidget>

class AccentToggle;
class AIVetter;
class AppState;
class LearningEngine;
class OnDeviceModel;
class PillButton;
class QPainter;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class SecureInput;
class SettingRow;
class ThemedSecureField;
class ThemedTextField;
class ToneProfile;

// The symbols of the General page: the shared set, and the few drawn only here.
namespace GeneralSymbols {
bool canDraw(const QString& name);
void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, int weight = 600);
} // namespace GeneralSymbols

// A symbol at a text size in one colour (information only).
class GeneralSymbolView : public QWidget
{
    Q_OBJECT

  public:
    GeneralSymbolView(const QString& symbol, qreal size, const QColor& color, QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }
    void set(const QString& symbol, const QColor& color);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
    qreal m_size;
    QColor m_color;
};

// A row of segments, one of which is chosen. Filling it (setCurrent) announces nothing;
// `chosen` reports a click on a segment other than the current one.
class SegmentedPicker : public QWidget
{
    Q_OBJECT

  public:
    SegmentedPicker(const QStringList& titles, const QString& accessibleName, int width, QWidget* parent = nullptr);
    int current() const { return m_current; }
    void setCurrent(int index);
    QAbstractButton* segment(int index) const;
    int count() const;

  Q_SIGNALS:
    void chosen(int index);

  private:
    QButtonGroup* m_group = nullptr;
    int m_current = -1;
};

// The AI block of the General page: whether the on-device model server answers (and its
// address and model), the back end of each AI feature, the writing-style switch with the
// tone profile, and the OpenAI key. It owns nothing but the key being typed: the choices
// are the store's, the profile the learning engine's, the key the vetter's.
class AISettingsCard : public QWidget
{
    Q_OBJECT

  public:
    // `ai` answers whether a back end can be used now; `onDevice` (may be null) gives the
    // on-device status, redrawn as it changes; `secureInput` (may be null) is told while the
    // key field has the keyboard.
    AISettingsCard(AppState& state, LearningEngine& learning, AIVetter& vetter, ToneProfile& tone, AIAccess ai,
                   OnDeviceModel* onDevice, SecureInput* secureInput, QWidget* parent = nullptr);
    ~AISettingsCard() override;

    SettingRow* onDeviceRow() const { return m_onDeviceRow; }
    QLabel* statusLabel() const { return m_statusLabel; }
    GeneralSymbolView* statusSymbol() const { return m_statusSymbol; }
    ThemedTextField* serverField() const { return m_serverField; }
    ThemedTextField* modelField() const { return m_modelField; }
    QLabel* addressProblem() const { return m_addressProblem; }
    SegmentedPicker* writingPicker() const { return m_writing; }
    SegmentedPicker* vettingPicker() const { return m_vetting; }
    SegmentedPicker* learningPicker() const { return m_learningPicker; }
    AccentToggle* toneToggle() const { return m_toneToggle; }
    QWidget* toneBlock() const { return m_toneBlock; }
    QLabel* profileLabel() const { return m_profile; }
    QLabel* noProfileLabel() const { return m_noProfile; }
    PillButton* toneButton() const { return m_toneButton; }
    QLabel* sampleCountLabel() const { return m_sampleCount; }
    QWidget* keyBlock() const { return m_keyBlock; }
    QWidget* keySaved() const { return m_keySaved; }
    PillButton* removeKeyButton() const { return m_removeKey; }
    QWidget* keyEntry() const { return m_keyEntry; }
    ThemedSecureField* keyField() const { return m_keyField; }
    PillButton* saveKeyButton() const { return m_saveKey; }
    QLabel* keyProblem() const { return m_keyProblem; }

    // Runs "Save key" as a click does.
    void saveKey();
    // Redraws everything from the store, the engine and the vetter.
    void refresh();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void refreshStatus();
    void refreshPickers();
    void refreshTone();
    void refreshKey();
    void commitServer();
    void commitModel();
    void setSecureFocus(bool focused);

    AppState& m_state;
    LearningEngine& m_learning;
    AIVetter& m_vetter;
    ToneProfile& m_tone;
    AIAccess m_ai;
    QPointer<OnDeviceModel> m_onDevice;
    QPointer<SecureInput> m_secureInput;
    bool m_secureFocused = false;

    SettingRow* m_onDeviceRow = nullptr;
    QLabel* m_statusLabel = nullptr;
    GeneralSymbolView* m_statusSymbol = nullptr;
    ThemedTextField* m_serverField = nullptr;
    ThemedTextField* m_modelField = nullptr;
    QLabel* m_addressProblem = nullptr;
    SegmentedPicker* m_writing = nullptr;
    SegmentedPicker* m_vetting = nullptr;
    SegmentedPicker* m_learningPicker = nullptr;
    AccentToggle* m_toneToggle = nullptr;
    QWidget* m_toneBlock = nullptr;
    QLabel* m_profile = nullptr;
    QLabel* m_noProfile = nullptr;
    PillButton* m_toneButton = nullptr;
    QLabel* m_sampleCount = nullptr;
    QWidget* m_keyBlock = nullptr;
    QWidget* m_keySaved = nullptr;
    PillButton* m_removeKey = nullptr;
    QWidget* m_keyEntry = nullptr;
    ThemedSecureField* m_keyField = nullptr;
    PillButton* m_saveKey = nullptr;
    QLabel* m_keyProblem = nullptr;
};
