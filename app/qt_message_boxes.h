#pragma once
// Message boxes as modal Qt boxes over a parent window. Call on the GUI thread only.

#include <QPointer>
#include <QWidget>

#include "commands/message_boxes.h"

namespace brimlo::app {

class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace brimlo::app
