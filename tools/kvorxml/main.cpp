// kvorxml: the command line's way into kvorXMLParser documents.
#include <cstring>
#include <iostream>

#include "Arguments.h"
#include "Commands.h"
#include "kvorVersion.h"

KVOR_DECLARE_EXECUTABLE_VERSION(KVORXML_VERSION_MAJOR, KVORXML_VERSION_MINOR, KVORXML_VERSION_PATCH,
                                KVORXML_VERSION_TWEAK);

namespace {

const char* const kHelp =
    "usage: kvorxml COMMAND [ARGUMENTS] [--json] [--help]\n"
    "\n"
    "  tree FILE                       the tree: names, attributes in order, text\n"
    "  find FILE NAME [--attr A=TEXT] [--num A=N]\n"
    "                                  the element the library finds, with its path\n"
    "  get FILE NAME ATTR [--as text|int|color|rect]\n"
    "                                  one attribute, read as the given type\n"
    "  text FILE NAME                  an element's text\n"
    "  save FILE OUT                   load and write back (UTF-16 with byte-order mark)\n"
    "  check FILE                      does it load? if not, where and why\n"
    "  reg query KEY [/v NAME]         the logging settings in the registry store\n"
    "  reg add KEY /v NAME /t REG_DWORD /d N\n"
    "\n"
    "--json (tree, find, get) prints JSON for scripts. Exit status: 0 success,\n"
    "1 nothing found or the file does not load, 2 usage error.\n"
    "kvorxml COMMAND --help describes one command.\n";

struct Command {
    const char* name;
    int (*run)(const kvorxml::Words&);
};

const Command kCommands[] = {
    {"tree", kvorxml::TreeCommand}, {"find", kvorxml::FindCommand}, {"get", kvorxml::GetCommand},
    {"text", kvorxml::TextCommand}, {"save", kvorxml::SaveCommand}, {"check", kvorxml::CheckCommand},
    {"reg", kvorxml::RegCommand},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << kHelp;
        return kvorxml::kExitUsage;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        std::cout << kHelp;
        return kvorxml::kExitSuccess;
    }
    if (first == "--version") {
        std::cout << "kvorxml " KVORXML_VERSION "\n";
        return kvorxml::kExitSuccess;
    }
    for (const Command& command : kCommands) {
        if (first == command.name) {
            return command.run(kvorxml::Words(argv + 2, argv + argc));
        }
    }
    return kvorxml::UsageError("", "unknown command " + first);
}
