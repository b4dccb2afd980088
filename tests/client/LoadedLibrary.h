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
class LoadedLibrary {
public:
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
        m_handle = LoadLibraryA(KVOR_LIBRARY_PATH);
#else
        m_handle = dlopen(KVOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
#endif
        if (m_handle == nullptr) {
            throw std::runtime_error("cannot load " KVOR_LIBRARY_PATH);
        }
        create = Export<PFN_kvorCreateXmlParserInstance>("kvorCreateXmlParserInstance");
        release = Export<PFN_kvorReleaseXmlParserInstance>("kvorReleaseXmlParserInstance");
    }

    template <typename Function>
    Function Export(const char* name) const
    {
#if defined(_WIN32)
        // Through the one function type GCC lets any other convert to.
        void (*found)() = reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
#else
        void* found = dlsym(m_handle, name);
#endif
        if (found == nullptr) {
            throw std::runtime_error(std::string("the library lacks ") + name);
        }
        return reinterpret_cast<Function>(found);
    }

    void* m_handle = nullptr;
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
class LoadedDocument : public ScopedParser {
public:
    explicit LoadedDocument(const std::string& xml)
    {
        WriteText(Path("doc.xml"), xml);
        m_status = get()->LoadXmlFile(W(Path("doc.xml")).c_str());
    }
    uint32_t Status() const { return m_status; }
    IXmlNode* Find(const std::string& name) const
    {
        IXmlNode* node = nullptr;
        return get()->FindNode(W(name).c_str(), &node, nullptr, nullptr, nullptr) == KVOR_OK ? node : nullptr;
    }
    std::string Path(const std::string& name) const { return m_dir.File(name); }

private:
    TempDir m_dir;
    uint32_t m_status = 0;
};

} // namespace kvortest

#endif // KVOR_TEST_LOADED_LIBRARY_H
