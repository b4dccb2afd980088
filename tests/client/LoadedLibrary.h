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

#include "kvorXMLParser.h"

namespace kvortest {

class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* path = KVOR_LIBRARY_PATH)
    {
#if defined(_WIN32)
        m_handle = LoadLibraryA(path);
#else
        m_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
        if (m_handle == nullptr) {
            throw std::runtime_error(std::string("cannot load ") + path);
        }
        create = Export<PFN_kvorCreateXmlParserInstance>("kvorCreateXmlParserInstance");
        release = Export<PFN_kvorReleaseXmlParserInstance>("kvorReleaseXmlParserInstance");
    }
    ~LoadedLibrary()
    {
#if defined(_WIN32)
        FreeLibrary(static_cast<HMODULE>(m_handle));
#else
        dlclose(m_handle);
#endif
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // The one instance a test process shares (loading it twice would not
    // start the logger again anyway).
    static LoadedLibrary& Shared()
    {
        static LoadedLibrary library;
        return library;
    }

    PFN_kvorCreateXmlParserInstance create = nullptr;
    PFN_kvorReleaseXmlParserInstance release = nullptr;

private:
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

} // namespace kvortest

#endif // KVOR_TEST_LOADED_LIBRARY_H
