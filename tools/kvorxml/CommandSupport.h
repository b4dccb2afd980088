// What every subcommand does alike: help, usage errors, messages, and
// opening its document.
#ifndef KVORXML_COMMAND_SUPPORT_H
#define KVORXML_COMMAND_SUPPORT_H

#include <string>

#include "Arguments.h"
#include "Document.h"

namespace kvorxml {

// "kvorxml: message" (or "kvorxml COMMAND: message") on standard error.
void Complain(const std::string& command, const std::string& message);
// A usage error: the message, a pointer to --help, status 2.
int UsageError(const std::string& command, const std::string& message);

// --help, option errors and the number of positional words; false when the
// command is to stop there with status.
bool Accept(const std::string& command, const Arguments& arguments, size_t positionals, const char* help,
            int& status);

// Reads and loads path; false, with the reason said, when it cannot be read
// or does not load.
bool OpenDocument(const std::string& command, const std::string& path, Document& document);

} // namespace kvorxml

#endif // KVORXML_COMMAND_SUPPORT_H
