// XmlCursor: the reading position over a document's wide text, with one
// saved position for look-ahead, and the two token readers.
#ifndef KVOR_XML_CURSOR_H
#define KVOR_XML_CURSOR_H

#include "kvor/reader/WhiteSpace.h"
#include "kvor/platform/kvorPlatform.h"

class XmlCursor : public kvor::HeapObject {
public:
    // A token holds at most 259 characters: 260 read, counting its terminator.
    static const int32_t kTokenLimit = 260;

    XmlCursor(const WCHAR* text, int32_t length)
        : m_text(text), m_length(length), m_position(0), m_savedPosition(0) {}
    virtual ~XmlCursor() {}

    // The next character that is not white space, consumed; 0 at the end.
    // Inline: the element parser asks for nearly every character this way.
    WCHAR NextNonSpace()
    {
        while (m_position < m_length) {
            const WCHAR c = m_text[m_position++];
            if (!kvor::IsWhiteSpace(c)) {
                return c;
            }
        }
        return 0;
    }
    void SavePosition() { m_savedPosition = m_position; }
    void RestorePosition() { m_position = m_savedPosition; }
    // Back to a position taken earlier with GetPosition.
    void SetPosition(int32_t position) { m_position = position; }
    // A name (white space skipped first) or a value (read from here), trimmed,
    // copied into out (size characters, may be null). Returns its length.
    int32_t ReadName(WCHAR* out, int32_t size);
    int32_t ReadValue(WCHAR* out, int32_t size);
    // Whether the last token stopped at the 260-character limit rather than
    // at a character that ends it: its text then goes on past the token.
    bool LastTokenCut() const { return m_tokenCut; }

    int32_t GetPosition() const { return m_position; }
    int32_t GetLength() const { return m_length; }
    const WCHAR* GetText() const { return m_text; }

private:
    template <typename Stop>
    int32_t ReadToken(WCHAR* out, int32_t size, Stop stops);
    static void CopyOut(WCHAR* out, int32_t size, const WCHAR* text, int32_t length);

    const WCHAR* m_text;
    int32_t m_length;
    int32_t m_position;
    int32_t m_savedPosition;
    bool m_tokenCut = false;
};

#endif // KVOR_XML_CURSOR_H
