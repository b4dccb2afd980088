#include "TextCodec.h"

#include <climits>

namespace kvorxml {

WString FromUtf8(const std::string& text)
{
    if (text.empty() || text.size() > INT_MAX) {
        return WString();
    }
    const int bytes = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
    WString wide(static_cast<size_t>(length > 0 ? length : 0), WCHAR(0));
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, &wide[0], length);
    }
    return wide;
}

} // namespace kvorxml
