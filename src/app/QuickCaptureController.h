#pragma once

#include <QObject>

#include <memory>

class HotKey;
class HotKeyBackend;

// Turns the selected text of any application into a new snippet (Control-Alt-N and the menu).
class QuickCaptureController : public QObject
{
    Q_OBJECT

  public:
    explicit QuickCaptureController(HotKeyBackend* hotKeys, QObject* parent = nullptr);
    ~QuickCaptureController() override;

    static QuickCaptureController* shared();
    static void setShared(QuickCaptureController* controller);

    // Registers Control-Alt-N to present(); none kept when refused.
    void registerHotKey();
    HotKey* hotKey() const { return m_hotKey.get(); }

    void present();

  private:
    HotKeyBackend* m_hotKeys = nullptr;
    std::unique_ptr<HotKey> m_hotKey;
};
