#pragma once

#include <QObject>
#include <QString>

class AtSpiFocusTracker;
class SecureInput;

// Tells secure input whether the focused accessible object is a password field, so that
// nothing typed into one is learned or sent anywhere. At each focus change it asks the
// newly focused object for its role; until the answer comes (or the short time-out
// passes) the field counts as a password, since the first keys may already be on their
// way. An object whose role cannot be read counts as an ordinary one.
class AtSpiPasswordWatcher : public QObject
{
    Q_OBJECT

  public:
    struct Options
    {
        int timeoutMs = 150;
    };

    AtSpiPasswordWatcher(AtSpiFocusTracker& tracker, SecureInput& secureInput, QObject* parent = nullptr);
    AtSpiPasswordWatcher(AtSpiFocusTracker& tracker, SecureInput& secureInput, Options options,
                         QObject* parent = nullptr);
    ~AtSpiPasswordWatcher() override;

    // What was last reported.
    bool isPassword() const { return m_password; }

    // ATSPI_ROLE_PASSWORD_TEXT.
    static constexpr uint passwordTextRole = 40;

  private:
    void onFocusChanged(const QString& service, const QString& path);
    void report(bool password);

    AtSpiFocusTracker& m_tracker;
    SecureInput& m_secureInput;
    Options m_options;
    quint64 m_question = 0;
    bool m_password = false;
};
