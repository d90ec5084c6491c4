#include "cli/terminal_boxes.h"

#include <cstdio>
#include <string>

namespace brimlo::cli {

void TerminalBoxes::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
    progress_.Interrupt();
    std::string line(text);
    for (std::size_t at = line.find("\r\n"); at != std::string::npos; at = line.find("\r\n")) {
        line.erase(at, 1);
    }
    while (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    if (icon == MessageIcon::Information) {
        std::FILE* out = context_.options.json || stdoutCarriesData_ ? stderr : stdout;
        std::fprintf(out, "%s\n", line.c_str());
        std::fflush(out);
    } else {
        std::fprintf(stderr, "brimlo-hid: %.*s: %s\n", static_cast<int>(caption.size()),
                     caption.data(), line.c_str());
    }
}

}  // namespace brimlo::cli
