#include "platform/linux/AtSpiPasswordWatcher.h"

#include "platform/SecureInput.h"
#include "platform/linux/AtSpiFocusTracker.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QTimer>

AtSpiPasswordWatcher::AtSpiPasswordWatcher(AtSpiFocusTracker& tracker, SecureInput& secureInput,
                                           QObject* parent)
    : AtSpiPasswordWatcher(tracker, secureInput, Options{}, parent)
{
}

AtSpiPasswordWatcher::AtSpiPasswordWatcher(AtSpiFocusTracker& tracker, SecureInput& secureInput,
                                           Options options, QObject* parent)
    : QObject(parent), m_tracker(tracker), m_secureInput(secureInput), m_options(options)
{
    connect(&tracker, &AtSpiFocusTracker::focusChanged, this, &AtSpiPasswordWatcher::onFocusChanged);
    if (!tracker.focusedService().isEmpty())
        onFocusChanged(tracker.focusedService(), tracker.focusedPath());
}

AtSpiPasswordWatcher::~AtSpiPasswordWatcher()
{
    // Secure input must not stay on for a watcher that is gone.
    if (m_password)
        m_secureInput.setFocusedAccessibleIsPassword(false);
}

void AtSpiPasswordWatcher::report(bool password)
{
    if (password == m_password)
        return;
    m_password = password;
    m_secureInput.setFocusedAccessibleIsPassword(password);
}

void AtSpiPasswordWatcher::onFocusChanged(const QString& service, const QString& path)
{
    const quint64 question = ++m_question;
    if (service.isEmpty() || !m_tracker.bus()) {
        report(false);
        return;
    }
    report(true);
    QTimer::singleShot(m_options.timeoutMs, this, [this, question] {
        if (question == m_question)
            report(false);
    });
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetRole"));
    auto* watcher = new QDBusPendingCallWatcher(m_tracker.bus()->asyncCall(call, m_options.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, question] {
        watcher->deleteLater();
        if (question != m_question)
            return;
        // Answered: the time-out has nothing left to decide.
        ++m_question;
        const QDBusPendingReply<uint> reply = *watcher;
        report(reply.isValid() && reply.value() == passwordTextRole);
    });
}
