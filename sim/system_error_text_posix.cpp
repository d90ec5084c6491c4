#include <cerrno>
#include <cstring>

#include "sim/system_error_text.h"

namespace brimlo::sim {

std::string LastSystemErrorText() {
    return std::strerror(errno);
}

}  // namespace brimlo::sim
