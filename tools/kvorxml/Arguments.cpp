#include "Arguments.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace kvorxml {

namespace {

bool IsOption(const std::string& word, const std::set<std::string>& valueOptions)
{
    return (word.size() > 2 && word.compare(0, 2, "--") == 0) || valueOptions.count(word) != 0;
}

} // namespace

Arguments::Arguments(const std::vector<std::string>& words, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& switches)
{
    bool optionsEnd = false;
    for (size_t i = 0; i < words.size() && m_error.empty(); ++i) {
        const std::string& word = words[i];
        if (!optionsEnd && word == "--") {
            optionsEnd = true;
            continue;
        }
        if (optionsEnd || !IsOption(word, valueOptions)) {
            m_positional.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (switches.count(name) != 0 && equals == std::string::npos) {
            m_options[name] = std::string();
        } else if (valueOptions.count(name) == 0) {
            m_error = "unknown option " + name;
        } else if (equals != std::string::npos) {
            m_options[name] = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            m_options[name] = words[++i];
        } else {
            m_error = name + " needs a value";
        }
    }
}

std::string Arguments::Value(const std::string& name) const
{
    auto found = m_options.find(name);
    return found == m_options.end() ? std::string() : found->second;
}

bool SplitAssignment(const std::string& text, std::string& name, std::string& value)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        return false;
    }
    name = text.substr(0, equals);
    value = text.substr(equals + 1);
    return true;
}

bool ParseInt32(const std::string& text, int32_t& value)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(parsed);
    return true;
}

} // namespace kvorxml
