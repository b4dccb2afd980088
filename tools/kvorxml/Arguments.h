// The arguments of one subcommand: positional words, "--name VALUE" (or
// "--name=VALUE") options and "--flag" switches.
#ifndef KVORXML_ARGUMENTS_H
#define KVORXML_ARGUMENTS_H

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvorxml {

// Exit status of every subcommand.
enum ExitStatus { kExitSuccess = 0, kExitNothing = 1, kExitUsage = 2 };

class Arguments {
public:
    Arguments(const std::vector<std::string>& words, const std::set<std::string>& valueOptions,
              const std::set<std::string>& switches);

    // Empty when the words fit the subcommand.
    const std::string& Error() const { return m_error; }
    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& name) const { return m_options.count(name) != 0; }
    std::string Value(const std::string& name) const;

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
    std::string m_error;
};

// "NAME=VALUE" split at the first "="; false when there is none or NAME is empty.
bool SplitAssignment(const std::string& text, std::string& name, std::string& value);
// A whole decimal number (optional sign) that fits 32 bits.
bool ParseInt32(const std::string& text, int32_t& value);

} // namespace kvorxml

#endif // KVORXML_ARGUMENTS_H
