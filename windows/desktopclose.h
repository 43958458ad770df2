#ifndef DESKTOPCLOSE_H
#define DESKTOPCLOSE_H

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

// Qt drops a window manager's close request (WM_DELETE_WINDOW) for a window
// that a modal dialog blocks, so closing the window while a job's progress
// dialog runs would go unnoticed. This filter sees the request on X11 and
// closes the window as a QCloseEvent would, which asks the job to stop.
class DesktopCloseFilter : public QAbstractNativeEventFilter
{
public:
    explicit DesktopCloseFilter(QWidget *window);
    ~DesktopCloseFilter() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    QPointer<QWidget> window;
    quint32 protocolsAtom = 0;
    quint32 deleteWindowAtom = 0;
};

#endif
