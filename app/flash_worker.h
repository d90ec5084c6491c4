#pragma once
// One burn or dump, run by the library's sequences on a thread of its own. The worker reads the
// identification, the burn image or the dump file and the Burn Area choice, reports progress
// into atomics and raises boxes through an interface that the dialog's thread serves; it never
// touches a widget. It ends with one typed signal that carries the outcome.

#include <QObject>
#include <cstdint>
#include <span>

#include "app/flash_panel_logic.h"
#include "commands/flash_progress.h"
#include "commands/message_boxes.h"
#include "commands/stop_request.h"
#include "commands/uvc_hid_device.h"
#include "flash/burn_sequence.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"

namespace brimlo::app {

struct FlashRunResult {
    FlashTask task = FlashTask::Burn;
    flash::BurnOutcome burn;
    flash::DumpOutcome dump;
};

// What a run works on; everything must outlive the run, and nobody else may use it meanwhile.
struct FlashRunInputs {
    UvcHidDevice& device;
    flash::FlashIdentity identity;
    std::span<const std::uint8_t> image;  // the burn's
    flash::DumpFile& dumpFile;            // the dump's
    flash::BurnAreaChoice& choice;
    MessageBoxes& boxes;
    FlashProgress& progress;
    // Ends a dump after the report in flight. A burn is never stopped halfway, which would
    // leave a half-written flash, so it is not given one.
    const StopRequest& dumpStop;
};

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
