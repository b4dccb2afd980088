// A small JSON writer for the --json output: values are written as they
// come, commas and escaping are its business.
#ifndef KVORXML_JSON_H
#define KVORXML_JSON_H

#include <cstdint>
#include <string>
#include <vector>

namespace kvorxml {

// text (UTF-8) as a JSON string literal, quotes included.
std::string JsonQuote(const std::string& text);

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The member name of the next value, inside an object.
    JsonWriter& Key(const std::string& name);
    JsonWriter& String(const std::string& text);
    JsonWriter& Number(int64_t value);
    JsonWriter& Boolean(bool value);
    JsonWriter& Null();
    const std::string& Text() const { return m_text; }

private:
    void BeforeValue();

    std::string m_text;
    std::vector<bool> m_first; // per open container: no member written yet
    bool m_afterKey = false;
};

} // namespace kvorxml

#endif // KVORXML_JSON_H
