#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>

namespace zumbal {

// Quits as File > Quit does when the session ends the program: SIGTERM (a
// logout), SIGHUP (its terminal closed) and SIGINT (Ctrl+C) call `quit` on
// the GUI thread, so the preferences are written and the program exits 0.
class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignals(std::function<void()> quit, QObject* parent = nullptr);
    ~QuitOnSignals() override;

private:
    std::function<void()> m_quit;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace zumbal
