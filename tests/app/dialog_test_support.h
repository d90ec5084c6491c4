#pragma once
// One run of the main dialog over the emulated device, as `brimlo-hid-tool --simulate
// --sim-state DIR --trace FILE` builds it, with boxes the test records and a settings file of
// its own. The flash panel suites share its box recorder.

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/uvc_hid_dlg.h"
#include "controls/hex_edit.h"
#include "dialog/dialog_template.h"
#include "session/platform_stack.h"

namespace brimlo::app::testing {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

struct ShownBox {
    QString text, caption;
    MessageIcon icon;
    bool onDialogThread;
};

// Records every box; `onShow` may act while the box would be on screen.
class RecordingBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        shown.push_back({Q(text), Q(caption), icon, QThread::currentThread() == thread});
        if (onShow) {
            onShow(shown.back());
        }
    }
    QStringList Texts() const {
        QStringList texts;
        for (const ShownBox& box : shown) {
            texts << box.text;
        }
        return texts;
    }
    QThread* thread = QThread::currentThread();
    std::vector<ShownBox> shown;
    std::function<void(const ShownBox&)> onShow;
};

// One report exchange of the wire trace.
struct Exchange {
    QString op;  // "set_output" or "get_input"
    int reportId = 0;
    int requestedLength = 0;  // get_input only
    QString data;             // lower-case hex
};

class DialogRun {
  public:
    // `dir` holds the emulated device's state, the trace and the settings file; a device.json
    // given here configures the device before it is first loaded.
    explicit DialogRun(const QString& dir, const QByteArray& deviceJson = {})
        : dir_(dir), settings(dir + QStringLiteral("/settings.ini"), QSettings::IniFormat) {
        const QString state = dir + QStringLiteral("/sim");
        QDir().mkpath(state);
        if (!deviceJson.isEmpty()) {
            QFile file(state + QStringLiteral("/device.json"));
            if (file.open(QIODevice::WriteOnly)) {
                file.write(deviceJson);
            }
        }
        session::StackOptions options;
        options.simulate = true;
        options.simState = state.toStdString();
        options.traceFile = TracePath().toStdString();
        session::StackError error;
        stack = session::PlatformStack::Create(options, error);
        if (!stack) {
            QTest::qFail(error.message.c_str(), __FILE__, __LINE__);
            return;
        }
        dialog = std::make_unique<Cuvc_hid_olvexDlg>(stack->Platform(), &boxes, settings);
    }

    template <typename Widget>
    Widget* Control(int id) const {
        return dialog->Control<Widget>(id);
    }
    QPushButton* Button(int id) const { return Control<QPushButton>(id); }
    controls::CHexEdit* Field(int id) const { return Control<controls::CHexEdit>(id); }

    // Every exchange traced so far.
    std::vector<Exchange> Trace() const {
        std::vector<Exchange> exchanges;
        QFile file(TracePath());
        if (!file.open(QIODevice::ReadOnly)) {
            return exchanges;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty()) {
                continue;
            }
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            exchanges.push_back({object.value("op").toString(), object.value("report_id").toInt(),
                                 object.value("requested_length").toInt(),
                                 object.value("data").toString()});
        }
        return exchanges;
    }

    // The exchanges a click on `id` causes.
    std::vector<Exchange> Click(int id) {
        const std::size_t before = Trace().size();
        Button(id)->click();
        std::vector<Exchange> all = Trace();
        return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
    }

    QString TracePath() const { return dir_ + QStringLiteral("/trace.jsonl"); }

  private:
    QString dir_;

  public:
    QSettings settings;
    std::unique_ptr<session::PlatformStack> stack;
    RecordingBoxes boxes;
    std::unique_ptr<Cuvc_hid_olvexDlg> dialog;
};

}  // namespace brimlo::app::testing
