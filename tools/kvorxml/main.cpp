// kvorxml: the command line's way into kvorXMLParser documents.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "CommandSupport.h"
#include "Commands.h"
#include "kvor/parser/LibraryEntry.h"
#include "kvorVersion.h"

KVOR_DECLARE_EXECUTABLE_VERSION(KVORXML_VERSION_MAJOR, KVORXML_VERSION_MINOR, KVORXML_VERSION_PATCH,
                                KVORXML_VERSION_TWEAK);

namespace {

const char* const kHelp =
    "usage: kvorxml COMMAND [ARGUMENTS] [--json] [--help]\n"
    "       kvorxml --version\n"
    "\n"
    "  tree FILE                       the tree: names, attributes in order, text\n"
    "  find FILE NAME [--attr A=TEXT] [--num A=N] [--all]\n"
    "                                  the element the library finds, with its path\n"
    "  get FILE NAME ATTR [--as text|int|color|rect] [--attr A=TEXT] [--num A=N]\n"
    "                                  one attribute, read as the given type\n"
    "  text FILE NAME [--attr A=TEXT] [--num A=N]\n"
    "                                  an element's text\n"
    "  check FILE...                   does each load? if not, where and why\n"
    "  set FILE ELEMENT ATTR VALUE     set an attribute      } -o OUT to write\n"
    "  add FILE PARENT CHILD           add a child element   } elsewhere than\n"
    "  rm FILE ELEMENT                 remove an element     } FILE\n"
    "                                  (--attr, --num choose ELEMENT and PARENT as in find)\n"
    "  save FILE OUT                   load and write back (UTF-16 with byte-order mark)\n"
    "  reg query KEY [/v NAME] [/s]    the logging settings in the registry store\n"
    "  reg add KEY /v NAME /t REG_DWORD /d N\n"
    "  reg delete KEY [/v NAME] [/f]\n"
    "\n"
    "FILE may be - for standard input, OUT - for standard output (a file named -\n"
    "is ./-). --json prints JSON for scripts (tree, find, get, text, check, reg query).\n"
    "Exit status: 0 success; 1 nothing found, a file that does not load or cannot\n"
    "be read, or a result that cannot be written; 2 usage error.\n"
    "kvorxml COMMAND --help describes one command.\n"
    "\n"
    "Environment:\n"
    "  KVOR_REGISTRY      the registry store's folder\n"
    "                     (default $XDG_CONFIG_HOME/kvor/registry, else ~/.config/kvor/registry)\n"
    "  KVOR_DEVICE_ROOT   the device's root folder, where log files go (\\DebLogger\\)\n"
    "                     (default $XDG_STATE_HOME/kvor, else ~/.local/state/kvor)\n"
    "  KVOR_DEBUG_OUTPUT  where the logger's debugger lines go: unset or empty, nowhere;\n"
    "                     stderr; any other value, a file they are appended to\n"
    "  KVOR_ACP           the code page of files without a UTF-16 byte-order mark:\n"
    "                     65001 (UTF-8, the default) or 1252 (Windows Western European)\n"
    "  TMPDIR             where save and the edits stage a result for standard output\n";

struct Command {
    const char* name;
    int (*run)(const kvorxml::Words&);
};

const Command kCommands[] = {
    {"tree", kvorxml::TreeCommand},  {"find", kvorxml::FindCommand}, {"get", kvorxml::GetCommand},
    {"text", kvorxml::TextCommand},  {"check", kvorxml::CheckCommand}, {"set", kvorxml::SetCommand},
    {"add", kvorxml::AddCommand},    {"rm", kvorxml::RemoveCommand}, {"save", kvorxml::SaveCommand},
    {"reg", kvorxml::RegCommand},
};

int Run(int argc, char** argv)
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

// A result that did not reach standard output is a failure (a full disk, a
// closed pipe), whatever the command made of it.
int FlushResults(int status)
{
    errno = 0;
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        kvorxml::Complain("", std::string("standard output: ") +
                                  (errno != 0 ? std::strerror(errno) : "the results could not be written"));
        return kvorxml::kExitFailure;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // The library's loader glue is not part of a program that links the
    // library's code: start the logger and the parser's zone here.
    KvorLibraryStartup();
    return FlushResults(Run(argc, argv));
}
