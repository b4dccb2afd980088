// check: the library's own reader decides whether each file loads and, when
// it does not, says where and why; for a file that loads, what it left out.
#include <iostream>

#include "CommandSupport.h"
#include "Commands.h"
#include "Json.h"
#include "ReadFindings.h"

namespace kvorxml {
namespace {

const char* const kCheckHelp =
    "usage: kvorxml check FILE... [--json]\n"
    "Loads each FILE (- for standard input) as the library does. When one does not\n"
    "load, shows the line and column at which the reader stopped and what it\n"
    "expected there; for one that loads, warns of anything the reader left out.\n"
    "Exit status 0 when every file loads, 1 when any does not.\n";

void WriteFindingJson(JsonWriter& json, const Finding& finding)
{
    json.BeginObject().Key("line").Number(finding.line).Key("column").Number(finding.column);
    json.Key("reason").String(finding.reason).EndObject();
}

// One file: its verdict on standard output, its findings on standard
// error, or both in json. True when it loads.
bool CheckOne(const std::string& path, JsonWriter* json)
{
    Document document;
    std::string error;
    const bool read = document.Read(path, error);
    const bool loads = read && document.Root() != nullptr;
    const std::vector<Finding> drops = read ? DropsOf(document) : std::vector<Finding>();
    if (json != nullptr) {
        json->BeginObject().Key("file").String(DisplayName(path)).Key("loads").Boolean(loads).Key("error");
        if (!read) {
            json->String(error);
        } else if (!loads) {
            WriteFindingJson(*json, FailureOf(document));
        } else {
            json->Null();
        }
        json->Key("warnings").BeginArray();
        for (const Finding& drop : drops) {
            WriteFindingJson(*json, drop);
        }
        json->EndArray().EndObject();
        return loads;
    }
    for (const Finding& drop : drops) {
        PrintFinding(document.Name(), drop, "warning: ");
    }
    if (!read) {
        Complain("check", error);
    } else if (!loads) {
        PrintFinding(document.Name(), FailureOf(document), "");
    } else {
        std::cout << document.Name() << ": loads\n";
    }
    return loads;
}

} // namespace

int CheckCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--help", "--json"});
    int status = kExitSuccess;
    if (!Accept("check", arguments, arguments.Positional().size(), kCheckHelp, status)) {
        return status;
    }
    if (arguments.Positional().empty()) {
        return UsageError("check", "expected at least one FILE");
    }
    JsonWriter json;
    const bool asJson = arguments.Has("--json");
    json.BeginArray();
    for (const std::string& path : arguments.Positional()) {
        if (!CheckOne(path, asJson ? &json : nullptr)) {
            status = kExitFailure;
        }
    }
    if (asJson) {
        std::cout << json.EndArray().Text() << "\n";
    }
    return status;
}

} // namespace kvorxml
