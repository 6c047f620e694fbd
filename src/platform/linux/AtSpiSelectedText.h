#pragma once

#include "platform/SelectedText.h"

#include <QObject>

#include <memory>

class AtSpiFocusTracker;
class X11PrimarySelection;

// The selection of the program in front. First over AT-SPI: the focused accessible
// object's first selection range and the text in it, taken only when that object belongs
// to the process of the front window (the focus the bus last reported may be a program
// the user has left, when the one in front does not speak AT-SPI). Otherwise, the X
// PRIMARY selection, when the front program owns it. The clipboard is never read.
//
// When the focused object is the front program's and answers that nothing is selected,
// that is the answer: PRIMARY can still hold an older selection.
class AtSpiSelectedText : public QObject, public SelectedText
{
    Q_OBJECT

  public:
    struct Options
    {
        // For the whole question, all calls together.
        int timeoutMs = 300;
    };

    // `primary` may be null: AT-SPI alone, and no check of the focused object's process.
    AtSpiSelectedText(AtSpiFocusTracker& tracker, X11PrimarySelection* primary, QObject* parent = nullptr);
    AtSpiSelectedText(AtSpiFocusTracker& tracker, X11PrimarySelection* primary, Options options,
                      QObject* parent = nullptr);
    ~AtSpiSelectedText() override;

    void requestSelectedText(QObject* context, Answer done) override;

  private:
    struct Request;

    void askProcess(const std::shared_ptr<Request>& request);
    void askSelection(const std::shared_ptr<Request>& request);
    void askText(const std::shared_ptr<Request>& request, int start, int end);
    void fallBack(const std::shared_ptr<Request>& request);

    AtSpiFocusTracker& m_tracker;
    X11PrimarySelection* m_primary = nullptr;
    Options m_options;
};
