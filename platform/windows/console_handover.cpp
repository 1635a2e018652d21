// Windows draws its own desktop: there is no terminal to hand over.
#include "platform/console_handover.h"

namespace zd::platform {

std::unique_ptr<ConsoleHandover> ConsoleHandover::TakeTerminal() { return nullptr; }

} // namespace zd::platform
