// The arguments of one subcommand: positional words, "--name VALUE" (or
// "--name=VALUE") options, "--flag" switches, and the short options a
// command names ("-o OUT"). "-" is a word (standard input or output); after
// "--" every word is positional.
#ifndef KVORXML_ARGUMENTS_H
#define KVORXML_ARGUMENTS_H

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvorxml {

// Exit status of every subcommand.
// kExitFailure: nothing found, the input does not load or cannot be read,
// or the result cannot be written.
enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

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
