#pragma once
// The Burn Area controls as the burn worker reads them. The radio buttons' and check boxes'
// signals store each change here on the dialog's thread; the worker reads the atomics when the
// burn comes to each decision, so an area ticked during the burn is still honoured once the
// burn reaches it, and the worker never touches a widget.

#include <array>
#include <atomic>
#include <cstddef>

#include "flash/burn_sequence.h"
#include "flash/flash_areas.h"

namespace brimlo::app {

class AreaChoiceMirror final : public flash::BurnAreaChoice {
  public:
    void SetEntireFlash(bool entire) { entire_.store(entire, std::memory_order_release); }
    void SetAreaChecked(std::size_t row, bool checked) {
        if (row < areas_.size()) {
            areas_[row].store(checked, std::memory_order_release);
        }
    }

    bool EntireFlash() override { return entire_.load(std::memory_order_acquire); }
    bool AreaChecked(std::size_t row) override {
        return row < areas_.size() && areas_[row].load(std::memory_order_acquire);
    }

  private:
    std::atomic<bool> entire_{true};
    std::array<std::atomic<bool>, flash::kFlashAreaCount> areas_{};
};

}  // namespace brimlo::app
