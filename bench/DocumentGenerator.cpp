#include "DocumentGenerator.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace kvorbench {

namespace {

// A small fixed-seed generator: the same documents on every run and machine.
class Random {
public:
    uint32_t Next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    uint32_t Below(uint32_t bound) { return Next() % bound; }

private:
    uint32_t m_state = 20261205u;
};

const char* const kWords[] = {"display", "network", "audio",   "power",  "sensor", "storage",
                              "input",   "clock",   "backlight", "modem", "radio",  "camera"};
const char* const kUnits[] = {"ms", "px", "dB", "mA", "Hz", "%"};
const char* const kTypes[] = {"int", "text", "bool", "colour", "rect"};
const char* const kTexts[] = {"enabled",
                              "Primary output of the device",
                              "Applies after the next restart",
                              "0x3F00",
                              "Automatic",
                              "Shown on the status bar when the unit is docked"};

template <size_t N>
const char* Pick(Random& random, const char* const (&words)[N])
{
    return words[random.Below(static_cast<uint32_t>(N))];
}

class Writer {
public:
    explicit Writer(Document& document) : m_document(document) {}

    void Open(int depth, const char* name)
    {
        Indent(depth);
        m_document.text += '<';
        m_document.text += name;
        ++m_document.elements;
    }
    void Attribute(const char* name, const std::string& value)
    {
        m_document.text += ' ';
        m_document.text += name;
        m_document.text += "=\"";
        m_document.text += value;
        m_document.text += '"';
    }
    void EndEmpty() { m_document.text += "/>\n"; }
    void EndOpen() { m_document.text += ">\n"; }
    void TextAndClose(const char* text, const char* name)
    {
        m_document.text += '>';
        m_document.text += text;
        m_document.text += "</";
        m_document.text += name;
        m_document.text += ">\n";
    }
    void Close(int depth, const char* name)
    {
        Indent(depth);
        m_document.text += "</";
        m_document.text += name;
        m_document.text += ">\n";
    }
    size_t Size() const { return m_document.text.size(); }

private:
    void Indent(int depth) { m_document.text.append(static_cast<size_t>(depth) * 2, ' '); }

    Document& m_document;
};

std::string Number(uint32_t value)
{
    return std::to_string(value);
}

// <Setting> with 2 to 6 attributes and either a short text or nothing.
void WriteSetting(Writer& out, Random& random, int depth, uint32_t index)
{
    out.Open(depth, "Setting");
    out.Attribute("key", std::string(Pick(random, kWords)) + "." + Number(index));
    out.Attribute("type", Pick(random, kTypes));
    const uint32_t extra = random.Below(5); // 0 to 4 more: 2 to 6 in all
    if (extra > 0) out.Attribute("min", Number(random.Below(100)));
    if (extra > 1) out.Attribute("max", Number(100 + random.Below(1000)));
    if (extra > 2) out.Attribute("unit", Pick(random, kUnits));
    if (extra > 3) out.Attribute("colour", Number(random.Below(256)) + "," + Number(random.Below(256)) + "," +
                                               Number(random.Below(256)));
    if (random.Below(3) == 0) {
        out.EndEmpty();
    } else {
        out.TextAndClose(Pick(random, kTexts), "Setting");
    }
}

void WriteModule(Writer& out, Random& random, uint32_t index)
{
    out.Open(1, "Module");
    out.Attribute("id", "m" + Number(index));
    out.Attribute("name", Pick(random, kWords));
    out.Attribute("enabled", random.Below(2) == 0 ? "0" : "1");
    out.EndOpen();
    const uint32_t groups = 2 + random.Below(3);
    for (uint32_t g = 0; g < groups; ++g) {
        out.Open(2, "Group");
        out.Attribute("name", Pick(random, kWords));
        out.Attribute("order", Number(g));
        out.EndOpen();
        const uint32_t settings = 3 + random.Below(6);
        for (uint32_t s = 0; s < settings; ++s) {
            WriteSetting(out, random, 3, s);
        }
        out.Close(2, "Group");
    }
    out.Close(1, "Module");
}

void WriteRecord(Writer& out, Random& random, uint32_t index)
{
    out.Open(1, "Record");
    out.Attribute("id", Number(index));
    out.Attribute("name", std::string(Pick(random, kWords)) + "-" + Number(random.Below(10000)));
    out.Attribute("amount", Number(random.Below(100000)));
    out.Attribute("date", "2026-" + Number(1 + random.Below(12)) + "-" + Number(1 + random.Below(28)));
    out.EndEmpty();
}

} // namespace

Document GenerateDocument(Shape shape, size_t targetBytes)
{
    Document document;
    document.text.reserve(targetBytes + 4096);
    Writer out(document);
    Random random;
    // No encoding name: the same declaration has to hold for both encodings.
    document.text += "<?xml version=\"1.0\"?>\n";
    const char* root = shape == Shape::Configuration ? "DeviceConfiguration" : "Records";
    out.Open(0, root);
    out.Attribute("version", "3");
    out.EndOpen();
    for (uint32_t index = 0; out.Size() < targetBytes; ++index) {
        if (shape == Shape::Configuration) {
            WriteModule(out, random, index);
        } else {
            WriteRecord(out, random, index);
        }
    }
    out.Close(0, root);
    return document;
}

namespace {

void WriteBytes(const std::string& path, const void* bytes, size_t count)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    const size_t written = std::fwrite(bytes, 1, count, file);
    const bool closed = std::fclose(file) == 0;
    if (written != count || !closed) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace

void WriteAnsiFile(const std::string& path, const std::string& text)
{
    WriteBytes(path, text.data(), text.size());
}

void WriteUtf16File(const std::string& path, const std::string& text)
{
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (char c : text) {
        bytes += c; // ASCII: the low byte, then 0
        bytes += '\0';
    }
    WriteBytes(path, bytes.data(), bytes.size());
}

} // namespace kvorbench
