// The system's words for a Win32 error code, as the platform gives them.
#ifndef KVORXML_SYSTEM_MESSAGE_H
#define KVORXML_SYSTEM_MESSAGE_H

#include <string>

#include "kvor/platform/kvorPlatform.h"

namespace kvorxml {

// "error N" when the system has no text for the code.
std::string SystemMessage(DWORD code);

} // namespace kvorxml

#endif // KVORXML_SYSTEM_MESSAGE_H
