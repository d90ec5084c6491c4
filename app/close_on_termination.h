#pragma once
// SIGTERM and SIGHUP as a close request to the window, the one its close box makes: a service
// manager ending the session or a closed terminal then closes the window the way a user would,
// and a running burn or dump is waited for, never cut off. Linux only.

#include <QObject>

class QDialog;
class QSocketNotifier;

namespace brimlo::app {

class CloseOnTermination final : public QObject {
  public:
    // Catches both signals until destroyed; one ignored when the process started (nohup)
    // stays ignored. One at a time.
    explicit CloseOnTermination(QDialog& window);
    ~CloseOnTermination() override;
    CloseOnTermination(const CloseOnTermination&) = delete;
    CloseOnTermination& operator=(const CloseOnTermination&) = delete;

  private:
    void OnSignalled();

    QDialog& window_;
    int readFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace brimlo::app
