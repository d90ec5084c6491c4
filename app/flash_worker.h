#pragma once
// One burn or dump, run by the library's sequences on a thread of its own. The worker reads the
// identification, the burn image or the dump file and the Burn Area choice, reports progress
// into atomics and raises boxes through an interface that the dialog's thread serves; it never
// touches a widget. It ends with one typed signal that carries the outcome.

#include <QObject>

#include "dialog/flash_run.h"

namespace brimlo::app {

class FlashWorker final : public QObject {
    Q_OBJECT

  public:
    FlashWorker(FlashTask task, const FlashRunInputs& inputs) : task_(task), inputs_(inputs) {}

    // Runs the burn or the dump on the calling thread, then emits finished.
    void Run();

  signals:
    void finished(const brimlo::app::FlashRunResult& result);

  private:
    FlashTask task_;
    FlashRunInputs inputs_;
};

}  // namespace brimlo::app
