#include "SystemMessage.h"

#include "TextCodec.h"

namespace kvorxml {

std::string SystemMessage(DWORD code)
{
    WCHAR message[256] = {};
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, message, 256,
                       nullptr) > 0) {
        return ToUtf8(message);
    }
    return "error " + std::to_string(code);
}

} // namespace kvorxml
