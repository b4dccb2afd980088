// The shared library as an application sees it: loaded at run time, reached
// only through its two exports and the public header's interfaces.
#ifndef KVOR_TEST_LOADED_LIBRARY_H
#define KVOR_TEST_LOADED_LIBRARY_H

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "kvorXMLParser.h"

namespace kvortest {

class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* path = KVOR_LIBRARY_PATH)
    {
        m_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (m_handle == nullptr) {
            throw std::runtime_error(std::string("dlopen: ") + dlerror());
        }
        create = reinterpret_cast<PFN_kvorCreateXmlParserInstance>(dlsym(m_handle, "kvorCreateXmlParserInstance"));
        release =
            reinterpret_cast<PFN_kvorReleaseXmlParserInstance>(dlsym(m_handle, "kvorReleaseXmlParserInstance"));
        if (create == nullptr || release == nullptr) {
            throw std::runtime_error("the library lacks an export");
        }
    }
    ~LoadedLibrary() { dlclose(m_handle); }
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
    void* m_handle = nullptr;
};

// A parser created through the export and released with the scope.
class ScopedParser {
public:
    ScopedParser() : m_library(LoadedLibrary::Shared())
    {
        if (m_library.create(&m_parser) != KVOR_OK || m_parser == nullptr) {
            throw std::runtime_error("kvorCreateXmlParserInstance failed");
        }
    }
    ~ScopedParser() { m_library.release(m_parser); }
    ScopedParser(const ScopedParser&) = delete;
    ScopedParser& operator=(const ScopedParser&) = delete;
    IXmlParser* operator->() const { return m_parser; }
    IXmlParser* get() const { return m_parser; }

private:
    LoadedLibrary& m_library;
    IXmlParser* m_parser = nullptr;
};

} // namespace kvortest

#endif // KVOR_TEST_LOADED_LIBRARY_H
