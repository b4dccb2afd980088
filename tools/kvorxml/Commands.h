// The subcommands of kvorxml. Each takes the words after its name and
// returns the process's exit status; results go to standard output,
// messages to standard error.
#ifndef KVORXML_COMMANDS_H
#define KVORXML_COMMANDS_H

#include <string>
#include <vector>

namespace kvorxml {

typedef std::vector<std::string> Words;

int TreeCommand(const Words& words);
int FindCommand(const Words& words);
int GetCommand(const Words& words);
int TextCommand(const Words& words);
int SetCommand(const Words& words);
int AddCommand(const Words& words);
int RemoveCommand(const Words& words);
int SaveCommand(const Words& words);
int CheckCommand(const Words& words);
int RegCommand(const Words& words);

} // namespace kvorxml

#endif // KVORXML_COMMANDS_H
