#include "platform/os/console_text.h"

namespace platform {

struct ConsoleText::Streams {};

ConsoleText::ConsoleText() = default;
ConsoleText::~ConsoleText() = default;

}  // namespace platform
