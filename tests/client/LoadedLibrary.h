// The shared library as an application sees it: loaded at run time, reached
// only through its two exports and the public header's interfaces.
#ifndef KVOR_TEST_LOADED_LIBRARY_H
#define KVOR_TEST_LOADED_LIBRARY_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <stdexcept>
#include <string>

#include "kvorXMLParser.h"

namespace kvortest {

#if defined(_WIN32)
// The loader's calls on Windows, under the names the class uses.
inline void* OpenLibrary(const char* path)
{
    return LoadLibraryA(path);
}
inline void* FindExport(void* library, const char* name)
{
    // Through the one function type GCC lets any other convert to.
    return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(library), name)));
}
inline void CloseLibrary(void* library)
{
    FreeLibrary(static_cast<HMODULE>(library));
}
inline std::string LoadError()
{
    return "LoadLibrary failed, error " + std::to_string(GetLastError());
}
#else
inline void* OpenLibrary(const char* path)
{
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
inline void* FindExport(void* library, const char* name)
{
    return dlsym(library, name);
}
inline void CloseLibrary(void* library)
{
    dlclose(library);
}
inline std::string LoadError()
{
    return std::string("dlopen: ") + dlerror();
}
#endif

class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* path = KVOR_LIBRARY_PATH)
    {
        m_handle = OpenLibrary(path);
        if (m_handle == nullptr) {
            throw std::runtime_error(LoadError());
        }
        create = reinterpret_cast<PFN_kvorCreateXmlParserInstance>(FindExport(m_handle, "kvorCreateXmlParserInstance"));
        release = reinterpret_cast<PFN_kvorReleaseXmlParserInstance>(FindExport(m_handle, "kvorReleaseXmlParserInstance"));
        if (create == nullptr || release == nullptr) {
            throw std::runtime_error("the library lacks an export");
        }
    }
    ~LoadedLibrary() { CloseLibrary(m_handle); }
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
