#include "CommandSupport.h"

#include <iostream>

#include "ReadFindings.h"

namespace kvorxml {

void Complain(const std::string& command, const std::string& message)
{
    std::cerr << "kvorxml" << (command.empty() ? "" : " " + command) << ": " << message << "\n";
}

int UsageError(const std::string& command, const std::string& message)
{
    Complain(command, message);
    std::cerr << "Try 'kvorxml " << (command.empty() ? "" : command + " ") << "--help'.\n";
    return kExitUsage;
}

bool Accept(const std::string& command, const Arguments& arguments, size_t positionals, const char* help,
            int& status)
{
    if (arguments.Has("--help")) {
        std::cout << help;
        status = kExitSuccess;
        return false;
    }
    if (!arguments.Error().empty()) {
        status = UsageError(command, arguments.Error());
        return false;
    }
    if (arguments.Positional().size() != positionals) {
        status = UsageError(command, "expected " + std::to_string(positionals) + " arguments, got " +
                                         std::to_string(arguments.Positional().size()));
        return false;
    }
    return true;
}

bool OpenDocument(const std::string& command, const std::string& path, Document& document)
{
    std::string error;
    if (!document.Read(path, error)) {
        Complain(command, error);
        return false;
    }
    if (document.Root() == nullptr) {
        const Finding failure = FailureOf(document);
        Complain(command, document.Name() + ":" + std::to_string(failure.line) + ":" +
                              std::to_string(failure.column) + ": does not load: " + failure.reason);
        return false;
    }
    return true;
}

} // namespace kvorxml
