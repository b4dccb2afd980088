// The shared library as an application sees it: loaded at run time, reached
// only through its two exports and the public header's interfaces.
#ifndef KVOR_TEST_LOADED_LIBRARY_H
#define KVOR_TEST_LOADED_LIBRARY_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <stdexcept>
#include <string>

#include "TestText.h"
#include "kvorXMLParser.h"

namespace kvortest {

// The one load a test process shares, kept until the process ends (loading
// it twice would not start the logger again anyway).
struct LoadedLibrary {
    static LoadedLibrary& Shared()
    {
        static LoadedLibrary library;
        return library;
    }
    PFN_kvorCreateXmlParserInstance create = nullptr;
    PFN_kvorReleaseXmlParserInstance release = nullptr;

private:
    LoadedLibrary()
    {
#if defined(_WIN32)
        HMODULE library = LoadLibraryA(KVOR_LIBRARY_PATH);
        // Through the one function type GCC lets any other convert to.
        const auto symbol = [library](const char* name) {
            return reinterpret_cast<void (*)()>(GetProcAddress(library, name));
        };
#else
        void* library = dlopen(KVOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        const auto symbol = [library](const char* name) { return dlsym(library, name); };
#endif
        if (library == nullptr) {
            throw std::runtime_error("cannot load " KVOR_LIBRARY_PATH);
        }
        create = reinterpret_cast<PFN_kvorCreateXmlParserInstance>(symbol("kvorCreateXmlParserInstance"));
        release = reinterpret_cast<PFN_kvorReleaseXmlParserInstance>(symbol("kvorReleaseXmlParserInstance"));
        if (create == nullptr || release == nullptr) {
            throw std::runtime_error("the library lacks one of its exports");
        }
    }
};

// A parser created through the export and released with the scope.
class ScopedParser {
public:
    ScopedParser()
    {
        if (LoadedLibrary::Shared().create(&m_parser) != KVOR_OK || m_parser == nullptr) {
            throw std::runtime_error("kvorCreateXmlParserInstance failed");
        }
    }
    ~ScopedParser() { LoadedLibrary::Shared().release(m_parser); }
    ScopedParser(const ScopedParser&) = delete;
    ScopedParser& operator=(const ScopedParser&) = delete;
    IXmlParser* operator->() const { return m_parser; }
    IXmlParser* get() const { return m_parser; }

private:
    IXmlParser* m_parser = nullptr;
};

// A parser with xml loaded from a file of its own temporary folder.
struct LoadedDocument : ScopedParser {
    explicit LoadedDocument(const std::string& xml)
    {
        WriteText(Path("doc.xml"), xml);
        if (get()->LoadXmlFile(W(Path("doc.xml")).c_str()) != KVOR_OK) {
            throw std::runtime_error("does not load: " + xml);
        }
    }
    IXmlNode* Find(const std::string& name) const
    {
        IXmlNode* node = nullptr;
        return get()->FindNode(W(name).c_str(), &node, nullptr, nullptr, nullptr) == KVOR_OK ? node : nullptr;
    }
    std::string Path(const std::string& name) const { return dir.File(name); }
    TempDir dir;
};

} // namespace kvortest

#endif // KVOR_TEST_LOADED_LIBRARY_H
