// The wide printf of every target, so that log lines come out the same
// everywhere: %s takes a WCHAR string on Linux and Windows alike.
#include "kvor/platform/kvorPlatform.h"

namespace {

// Collects the output, keeping what fits and counting the rest.
class Output {
public:
    Output(WCHAR* buffer, size_t count) : m_buffer(count == 0 ? nullptr : buffer), m_limit(count == 0 ? 0 : count - 1)
    {
    }

    void Put(WCHAR c)
    {
        if (m_length < m_limit) {
            m_buffer[m_length] = c;
        }
        ++m_length;
    }
    void Repeat(WCHAR c, size_t times)
    {
        while (times-- > 0) {
            Put(c);
        }
    }
    void Terminate()
    {
        if (m_buffer != nullptr) {
            m_buffer[m_length < m_limit ? m_length : m_limit] = 0;
        }
    }
    size_t Length() const { return m_length; }

private:
    WCHAR* m_buffer;
    size_t m_limit;
    size_t m_length = 0;
};

// What the library's formats use: flags "-" and "0", a width, a precision.
struct Spec {
    bool left = false;
    bool zero = false;
    size_t width = 0;
    int precision = -1;
};

bool IsDigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}

size_t ReadNumber(const WCHAR*& at)
{
    size_t value = 0;
    while (IsDigit(*at)) {
        value = value * 10 + static_cast<size_t>(*at++ - u'0');
    }
    return value;
}

void PadAndPut(Output& out, const Spec& spec, const WCHAR* text, size_t length)
{
    const size_t pad = spec.width > length ? spec.width - length : 0;
    if (!spec.left) {
        out.Repeat(u' ', pad);
    }
    for (size_t i = 0; i < length; ++i) {
        out.Put(text[i]);
    }
    if (spec.left) {
        out.Repeat(u' ', pad);
    }
}

void PutString(Output& out, const Spec& spec, const WCHAR* text)
{
    static const WCHAR null[] = KVOR_TEXT("(null)");
    if (text == nullptr) {
        text = null;
    }
    size_t length = 0;
    const size_t most = spec.precision < 0 ? SIZE_MAX : static_cast<size_t>(spec.precision);
    while (length < most && text[length] != 0) {
        ++length;
    }
    PadAndPut(out, spec, text, length);
}

void PutNumber(Output& out, const Spec& spec, unsigned magnitude, bool negative, unsigned radix, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    WCHAR text[12];
    size_t count = 0;
    while (magnitude != 0) {
        text[count++] = static_cast<WCHAR>(digits[magnitude % radix]);
        magnitude /= radix;
    }
    // At least one digit, unless an explicit precision of zero asks for none.
    const size_t minimum = spec.precision < 0 ? 1 : static_cast<size_t>(spec.precision);
    const size_t zeros = minimum > count ? minimum - count : 0;
    const size_t length = count + zeros + (negative ? 1 : 0);
    const size_t pad = spec.width > length ? spec.width - length : 0;
    const bool zeroPad = spec.zero && !spec.left && spec.precision < 0;
    if (!spec.left && !zeroPad) {
        out.Repeat(u' ', pad);
    }
    if (negative) {
        out.Put(u'-');
    }
    out.Repeat(u'0', zeros + (zeroPad ? pad : 0));
    while (count > 0) {
        out.Put(text[--count]);
    }
    if (spec.left) {
        out.Repeat(u' ', pad);
    }
}

void ReadFlags(const WCHAR*& at, Spec& spec)
{
    for (;; ++at) {
        switch (*at) {
        case u'-': spec.left = true; break;
        case u'0': spec.zero = true; break;
        default: return;
        }
    }
}

void ReadWidthAndPrecision(const WCHAR*& at, Spec& spec)
{
    spec.width = ReadNumber(at);
    if (*at == u'.') {
        ++at;
        spec.precision = static_cast<int>(ReadNumber(at));
    }
}

// Writes one conversion; false when the letter is not one this printf knows.
bool Convert(Output& out, const Spec& spec, WCHAR conversion, va_list& arguments)
{
    switch (conversion) {
    case u'd':
    case u'i': {
        const int value = va_arg(arguments, int);
        const unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        PutNumber(out, spec, magnitude, value < 0, 10, false);
        return true;
    }
    case u'u':
        PutNumber(out, spec, va_arg(arguments, unsigned), false, 10, false);
        return true;
    case u'x':
    case u'X':
        PutNumber(out, spec, va_arg(arguments, unsigned), false, 16, conversion == u'X');
        return true;
    case u'c': {
        const WCHAR c = static_cast<WCHAR>(va_arg(arguments, int));
        PadAndPut(out, spec, &c, 1);
        return true;
    }
    case u's':
        PutString(out, spec, va_arg(arguments, const WCHAR*));
        return true;
    case u'%':
        out.Put(u'%');
        return true;
    default:
        return false;
    }
}

} // namespace

namespace kvor {

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list arguments)
{
    Output out(buffer, buffer == nullptr ? 0 : count);
    va_list list;
    va_copy(list, arguments);
    const WCHAR* at = format;
    while (*at != 0) {
        if (*at != u'%') {
            out.Put(*at++);
            continue;
        }
        const WCHAR* start = at++;
        Spec spec;
        ReadFlags(at, spec);
        ReadWidthAndPrecision(at, spec);
        if (*at == 0) {
            // A conversion cut off by the end of the format: keep it as text.
            while (start < at) {
                out.Put(*start++);
            }
            break;
        }
        if (!Convert(out, spec, *at, list)) {
            while (start <= at) {
                out.Put(*start++);
            }
        }
        ++at;
    }
    va_end(list);
    out.Terminate();
    const size_t length = out.Length();
    return length > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(length);
}

int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int length = _vsnwprintf(buffer, count, format, arguments);
    va_end(arguments);
    return length;
}

} // namespace kvor
