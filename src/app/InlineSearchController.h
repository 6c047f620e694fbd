#pragma once

#include <QObject>

#include <memory>

class HotKey;
class HotKeyBackend;

// Opens the inline snippet search (Control-Alt-Space and the menu).
class InlineSearchController : public QObject
{
    Q_OBJECT

  public:
    explicit InlineSearchController(HotKeyBackend* hotKeys, QObject* parent = nullptr);
    ~InlineSearchController() override;

    static InlineSearchController* shared();
    static void setShared(InlineSearchController* controller);

    // Registers Control-Alt-Space to toggle(); the hot key is kept in hotKey(), or none
    // when another program holds the combination.
    void registerHotKey();
    HotKey* hotKey() const { return m_hotKey.get(); }

    void toggle();
    void show();

  private:
    HotKeyBackend* m_hotKeys = nullptr;
    std::unique_ptr<HotKey> m_hotKey;
};
