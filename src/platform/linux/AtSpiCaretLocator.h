#pragma once

#include "platform/CaretLocator.h"

#include <QObject>
#include <QString>

#include <memory>

// The caret over AT-SPI, the desktop's accessibility bus: asked for the caret, the locator
// reads the caret offset of the object the focus tracker last saw focused, and the screen
// extents of the character there. Each question is bounded by a short time-out,
// since a busy program answers late or never.
//
// Programs answer only when they expose accessibility: GTK programs do by default; Qt and
// Chromium-based ones only while the desktop's accessibility is on. For the others the
// caret is unknown.
class AtSpiFocusTracker;

class AtSpiCaretLocator : public QObject, public CaretLocator
{
    Q_OBJECT

  public:
    struct Options
    {
        // For the whole question, all calls together.
        int timeoutMs = 150;
    };

    // Asks the object `tracker` reports as focused (the tracker must outlive the locator);
    // while nothing has the focus, or there is no bus, every question is answered with
    // nothing.
    explicit AtSpiCaretLocator(AtSpiFocusTracker& tracker, QObject* parent = nullptr);
    AtSpiCaretLocator(AtSpiFocusTracker& tracker, Options options, QObject* parent = nullptr);
    ~AtSpiCaretLocator() override;

    void requestCaretRect(QObject* context, Answer done) override;

    bool isConnected() const;
    // The focused accessible as last reported (bus name and object path); empty when none.
    QString focusedService() const;
    QString focusedPath() const;

  signals:
    void connected();
    void focusChanged();

  private:
    struct Request;

    void askCaretOffset(const std::shared_ptr<Request>& request);
    void askExtents(const std::shared_ptr<Request>& request, int offset, bool previous);

    AtSpiFocusTracker& m_tracker;
    Options m_options;
};
