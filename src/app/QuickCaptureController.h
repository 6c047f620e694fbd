#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class AppState;
class FrontApp;
class HotKey;
class HotKeyBackend;
class QuickCapturePanel;
class SelectedText;

// Turns the selected text of any application into a new snippet (Control-Alt-N and the
// menu). present() reads the selection of the window in front (asynchronously: programs
// answer over the accessibility bus when they like) and opens the "New snippet" panel with
// it; Save adds the snippet to the end of the library. Save, Cancel and Escape give the
// focus back to the window the panel was opened over; that window is remembered only while
// the panel is open. Nothing is ever typed.
//
// Main thread only.
class QuickCaptureController : public QObject
{
    Q_OBJECT

  public:
    struct Collaborators
    {
        FrontApp* frontApp = nullptr;
        SelectedText* selectedText = nullptr;
        HotKeyBackend* hotKeys = nullptr;
        // The frame of a window on the desktop, or none; centres the panel on its screen.
        std::function<std::optional<QRect>(quint64 window)> windowGeometry;
    };

    QuickCaptureController(AppState& state, Collaborators collaborators, QObject* parent = nullptr);
    ~QuickCaptureController() override;

    static QuickCaptureController* shared();
    static void setShared(QuickCaptureController* controller);

    // Registers Control-Alt-N to present(); none kept when refused.
    void registerHotKey();
    HotKey* hotKey() const { return m_hotKey.get(); }

    // Opens the panel on the current selection; while it is open, only brings it forward
    // (nothing is read again, nothing typed is lost); while a selection is being read,
    // does nothing.
    void present();
    // Adds the snippet when the trigger (trimmed of spaces and tabs) and the content are
    // not empty, then closes the panel and gives the focus back.
    void save(const QString& trigger, const QString& content);
    // Closes the panel and gives the focus back.
    void cancel();

    QuickCapturePanel* panel() const;
    bool isReadingSelection() const { return m_reading; }
    // The window the focus goes back to; 0 while the panel is closed.
    quint64 previousWindow() const { return m_previousWindow; }

  private:
    void open(const QString& text, quint64 previousWindow);
    void closePanel();
    void finish();

    AppState& m_state;
    Collaborators m_c;
    QPointer<QuickCapturePanel> m_panel;
    std::unique_ptr<HotKey> m_hotKey;
    quint64 m_previousWindow = 0;
    bool m_reading = false;
    quint64 m_readGeneration = 0;
};
