// Linux backend of the thread message queue: the shared rules on the monotonic clock, with timer
// periods divided by $TESSERY_TIME_SCALE.
#include <cmath>
#include <cstdlib>
#include <string>

#include "../common/MessagingCore.h"

namespace platform {

double TimeScaleFromEnvironment() {
  const char* text = std::getenv("TESSERY_TIME_SCALE");
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double scale = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(scale) || scale <= 0.0) return 1.0;
  return scale;
}

std::unique_ptr<Messaging> OpenMessaging() {
  return detail::MakeMessaging(SteadyClock(), TimeScaleFromEnvironment(), {});
}

}  // namespace platform
