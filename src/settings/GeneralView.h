#pragma once

#include "ai/AIAccess.h"
#include "settings/GeneralLogic.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class AccentToggle;
class AISettingsCard;
class AIVetter;
class AppState;
class Card;
class ExcludedAppChip;
class FlowLayout;
class LaunchAtLogin;
class LearningEngine;
class OnDeviceModel;
class PillButton;
class QComboBox;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class SecureInput;
class SegmentedPicker;
class SettingRow;
class ThemedTextField;
class ToneProfile;

// The typing-speed stepper: a minus and a plus, each greyed out at its end of the range.
class WpmStepper : public QWidget
{
    Q_OBJECT

  public:
    explicit WpmStepper(QWidget* parent = nullptr);
    QToolButton* downButton() const { return m_down; }
    QToolButton* upButton() const { return m_up; }
    // Shows the ends reached by the stored speed; announces nothing.
    void showValue(double stored);

  Q_SIGNALS:
    void stepped(int direction);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QToolButton* m_down = nullptr;
    QToolButton* m_up = nullptr;
};

// One column of the statistics: its caption and up to five lines of label and count,
// kept by position (two deleted snippets are two lines), or "—" when empty.
class StatColumn : public QWidget
{
    Q_OBJECT

  public:
    StatColumn(const QString& title, QWidget* parent = nullptr);
    void setRows(const QList<GeneralLogic::TopRow>& rows);
    QStringList labels() const;
    QStringList counts() const;
    bool showsDash() const;

  private:
    struct Line
    {
        QWidget* row;
        QLabel* label;
        QLabel* count;
    };
    QVBoxLayout* m_layout = nullptr;
    QLabel* m_dash = nullptr;
    QList<Line> m_lines;
};

// The desktop services the General page reaches, each replaceable in tests.
struct GeneralPlatform
{
    // None: the switch shows off and cannot be changed.
    LaunchAtLogin* launchAtLogin = nullptr;
    // Told while the OpenAI key field has the keyboard.
    SecureInput* secureInput = nullptr;
    // Shows a folder in the file manager; unset: the desktop's file manager over the
    // session bus, else the folder opened as a URL.
    std::function<void(const QString& folder)> revealFolder;
};

// The General page: every engine-wide setting on one scrolling page — the master switch
// and timing, sound and the on-screen confirmation, statistics and the typing speed,
// learning, the AI card, the apps where spell-fixing is off, backups and launch at login —
// with the permission card on top while Quenvil cannot watch the keyboard. It owns no data:
// the controls write the store at once and follow it live.
class GeneralView : public QWidget
{
    Q_OBJECT

  public:
    GeneralView(AppState& state, LearningEngine& learning, AIVetter& vetter, ToneProfile& tone, AIAccess ai,
                OnDeviceModel* onDevice, GeneralPlatform platform = {}, QWidget* parent = nullptr);
    ~GeneralView() override;

    // The desktop's file manager, showing `folder` selected in its parent.
    static void revealInFileManager(const QString& folder);

    QScrollArea* scrollArea() const { return m_scroll; }
    Card* permissionCard() const { return m_permission; }
    PillButton* openHelpButton() const { return m_openHelp; }
    AccentToggle* masterToggle() const { return m_master; }
    SegmentedPicker* timingPicker() const { return m_timing; }
    SettingRow* timingRow() const { return m_timingRow; }
    AccentToggle* suggestionsToggle() const { return m_suggestions; }
    AccentToggle* scriptsToggle() const { return m_scripts; }
    AccentToggle* launchToggle() const { return m_launch; }
    AccentToggle* hudToggle() const { return m_hud; }
    AccentToggle* soundToggle() const { return m_sound; }
    QWidget* soundRows() const { return m_soundRows; }
    QComboBox* soundPicker() const { return m_soundPicker; }
    PillButton* previewButton() const { return m_preview; }
    AccentToggle* correctionSoundToggle() const { return m_correctionSound; }
    SettingRow* speedRow() const { return m_speedRow; }
    QLabel* wpmLabel() const { return m_wpm; }
    WpmStepper* wpmStepper() const { return m_stepper; }
    QWidget* topLists() const { return m_topLists; }
    StatColumn* topSnippetsColumn() const { return m_topSnippets; }
    StatColumn* topAppsColumn() const { return m_topApps; }
    QLabel* noUsageLabel() const { return m_noUsage; }
    AccentToggle* learningToggle() const { return m_learning; }
    AISettingsCard* aiCard() const { return m_ai; }
    QList<ExcludedAppChip*> chips() const { return m_chips; }
    ThemedTextField* excludedField() const { return m_excludedField; }
    PillButton* addExcludedButton() const { return m_addExcluded; }
    SettingRow* backupRow() const { return m_backupRow; }
    PillButton* backUpNowButton() const { return m_backUpNow; }
    PillButton* showBackupsButton() const { return m_showBackups; }
    QLabel* backupProblem() const { return m_backupProblem; }
    PillButton* welcomeTourButton() const { return m_tour; }
    QLabel* footerLabel() const { return m_footer; }

    // The "Add" button's rule, as a click runs it.
    void addExcludedApp();
    void backUpNow();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void refreshPermission();
    void refreshEngine();
    void refreshSound();
    void refreshStatistics();
    void refreshChips();
    void refreshBackup();
    void refreshLaunch();
    void setLaunchAtLogin(bool on);
    QString backupsFolder() const;

    AppState& m_state;
    GeneralPlatform m_platform;

    QScrollArea* m_scroll = nullptr;
    Card* m_permission = nullptr;
    PillButton* m_openHelp = nullptr;
    AccentToggle* m_master = nullptr;
    SettingRow* m_timingRow = nullptr;
    SegmentedPicker* m_timing = nullptr;
    AccentToggle* m_suggestions = nullptr;
    AccentToggle* m_scripts = nullptr;
    AccentToggle* m_launch = nullptr;
    AccentToggle* m_hud = nullptr;
    AccentToggle* m_sound = nullptr;
    QWidget* m_soundRows = nullptr;
    QComboBox* m_soundPicker = nullptr;
    PillButton* m_preview = nullptr;
    AccentToggle* m_correctionSound = nullptr;
    SettingRow* m_speedRow = nullptr;
    QLabel* m_wpm = nullptr;
    WpmStepper* m_stepper = nullptr;
    QWidget* m_topLists = nullptr;
    StatColumn* m_topSnippets = nullptr;
    StatColumn* m_topApps = nullptr;
    QLabel* m_noUsage = nullptr;
    AccentToggle* m_learning = nullptr;
    AISettingsCard* m_ai = nullptr;
    QWidget* m_chipBox = nullptr;
    FlowLayout* m_chipLayout = nullptr;
    QList<ExcludedAppChip*> m_chips;
    ThemedTextField* m_excludedField = nullptr;
    PillButton* m_addExcluded = nullptr;
    SettingRow* m_backupRow = nullptr;
    PillButton* m_backUpNow = nullptr;
    PillButton* m_showBackups = nullptr;
    QLabel* m_backupProblem = nullptr;
    PillButton* m_tour = nullptr;
    QLabel* m_footer = nullptr;
};
