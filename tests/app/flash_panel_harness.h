#pragma once
// The flash panel's widgets around a FlashPanelController, the emulated device behind it, and
// boxes and choosers the test answers: the ground of the flash panel suites.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/flash_panel_controller.h"
#include "commands/uvc_hid_device.h"
#include "sim/sim_device.h"
#include "sim/sim_platform.h"

namespace brimlo::app::testing {

struct ShownBox {
    QString text, caption;
    MessageIcon icon;
    bool onDialogThread;
};

// Records every box; `onShow` may act while the box would be on screen.
class RecordingBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        shown.push_back({QString::fromUtf8(text.data(), qsizetype(text.size())),
                         QString::fromUtf8(caption.data(), qsizetype(caption.size())), icon,
                         QThread::currentThread() == thread});
        if (onShow) {
            onShow(shown.back());
        }
    }
    QThread* thread = QThread::currentThread();
    std::vector<ShownBox> shown;
    std::function<void(const ShownBox&)> onShow;
};

class AnsweringChooser final : public FlashFileChooser {
  public:
    std::optional<QString> ChooseBurnFile(QWidget*) override { return burnFile; }
    std::optional<QString> ChooseDumpFile(QWidget*) override { return dumpFile; }
    std::optional<QString> burnFile, dumpFile;
};

// The widgets, laid out nowhere: the controller needs them, not their places.
class FlashPanelHarness : public QWidget {
  public:
    explicit FlashPanelHarness(sim::SimConfig config) {
        std::string error;
        sim = sim::SimDevice::Create(config, error);
        platform = std::make_unique<sim::SimPlatform>(sim);
        device = std::make_unique<UvcHidDevice>(*platform);
        opened = sim && device->Open(config.vid, config.pid).status == OpenStatus::Opened;

        for (QLabel*& label : w.info) {
            label = new QLabel(this);
        }
        w.burnPath = new QLineEdit(this);
        w.chooseBurn = new QPushButton(QStringLiteral("..."), this);
        w.dumpPath = new QLineEdit(this);
        w.chooseDump = new QPushButton(QStringLiteral("..."), this);
        w.status = new QLabel(QStringLiteral("Status: Wait"), this);
        w.progress = new QProgressBar(this);
        w.count = new QLabel(this);
        w.total = new QLabel(this);
        w.entireFlash = new QRadioButton(QStringLiteral("Entire Flash"), this);
        otherArea = new QRadioButton(QStringLiteral("Other Area"), this);
        w.entireFlash->setChecked(true);
        for (QCheckBox*& area : w.areas) {
            area = new QCheckBox(this);
        }
        w.hexVersion = new QLineEdit(this);
        w.getId = new QPushButton(QStringLiteral("Get ID"), this);
        w.burn = new QPushButton(QStringLiteral("Burn"), this);
        w.dump = new QPushButton(QStringLiteral("Dump"), this);
        controller = new FlashPanelController(this, w, *device, boxes, chooser);
    }
    // The controller goes before the device and the boxes it uses.
    ~FlashPanelHarness() override { delete controller; }

    // Which boxes' texts contain `part`.
    int BoxesWith(const QString& part) const {
        int n = 0;
        for (const ShownBox& box : boxes.shown) {
            n += box.text.contains(part) ? 1 : 0;
        }
        return n;
    }

    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<hid::HidPlatform> platform;
    std::unique_ptr<UvcHidDevice> device;
    bool opened = false;
    RecordingBoxes boxes;
    AnsweringChooser chooser;
    FlashPanelWidgets w;
    QRadioButton* otherArea = nullptr;
    FlashPanelController* controller = nullptr;
};

}  // namespace brimlo::app::testing
