#include "Library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#ifndef KVORXML_LIBRARY_NAME
#define KVORXML_LIBRARY_NAME "libkvorXMLParser.so"
#endif
#ifndef KVORXML_RELATIVE_LIBDIR
#define KVORXML_RELATIVE_LIBDIR "../lib"
#endif

namespace kvorxml {
namespace {

std::string ExecutableFolder()
{
    std::vector<char> path(4096);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return std::string();
    }
    std::string exe(path.data(), static_cast<size_t>(length));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

} // namespace

Library::~Library()
{
    if (m_handle != nullptr) {
        dlclose(m_handle);
    }
}

bool Library::Open(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error += "\n  " + path + ": " + (reason != nullptr ? reason : "cannot be loaded");
        return false;
    }
    auto create = reinterpret_cast<PFN_kvorCreateXmlParserInstance>(dlsym(handle, "kvorCreateXmlParserInstance"));
    auto release = reinterpret_cast<PFN_kvorReleaseXmlParserInstance>(dlsym(handle, "kvorReleaseXmlParserInstance"));
    if (create == nullptr || release == nullptr) {
        error += "\n  " + path + ": the two exports are missing";
        dlclose(handle);
        return false;
    }
    m_handle = handle;
    m_create = create;
    m_release = release;
    return true;
}

bool Library::Load(std::string& error)
{
    error = "cannot load " KVORXML_LIBRARY_NAME ":";
    const char* overridden = std::getenv("KVOR_LIBRARY");
    if (overridden != nullptr && *overridden != '\0') {
        // An explicit choice is not second-guessed by a fallback.
        return Open(overridden, error);
    }
    std::string folder = ExecutableFolder();
    if (!folder.empty()) {
        if (Open(folder + "/" KVORXML_LIBRARY_NAME, error) ||
            Open(folder + "/" KVORXML_RELATIVE_LIBDIR "/" KVORXML_LIBRARY_NAME, error)) {
            return true;
        }
    }
    return Open(KVORXML_LIBRARY_NAME, error);
}

Parser::~Parser()
{
    if (m_parser != nullptr) {
        m_library.Release()(m_parser);
    }
}

uint32_t Parser::Create() { return m_library.Create()(&m_parser); }

} // namespace kvorxml
