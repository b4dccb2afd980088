// set, add, rm and save: edits made with the library's own node operations,
// written with its writer, and put in place only when the file reads back
// as the same tree.
#include <iostream>

#include "CommandSupport.h"
#include "Commands.h"
#include "NodeMembers.h"
#include "Query.h"
#include "ReadFindings.h"
#include "TreeWalk.h"
#include "VerifiedSave.h"

namespace kvorxml {
namespace {

#define KVORXML_EDIT_OPTIONS                                                                                   \
    "  --attr A=TEXT, --num A=N  choose the element as `find` does\n"                                         \
    "  -o OUT        write the result to OUT (- for standard output) instead of FILE\n"                      \
    "  --allow-loss  edit a document that the reader loads only in part\n"                                     \
    "FILE may be - (the result then goes to standard output). The result is written\n"                       \
    "as the library writes (UTF-16LE with byte-order mark), through a file beside the\n"                      \
    "target that replaces it only once it reads back as the same tree; otherwise the\n"                      \
    "target is left as it was and the reason is given (exit status 1).\n"

const char* const kSetHelp = "usage: kvorxml set FILE ELEMENT ATTR VALUE [options]\n"
                             "Sets attribute ATTR of ELEMENT to VALUE (SetAttrString: the first attribute of\n"
                             "exactly that name is replaced, or one is added at the end).\n" KVORXML_EDIT_OPTIONS;

const char* const kAddHelp = "usage: kvorxml add FILE PARENT CHILD [options]\n"
                             "Adds an empty element CHILD at the end of PARENT's children, unless PARENT\n"
                             "already has a child of exactly that name (FindOrAddChild).\n" KVORXML_EDIT_OPTIONS;

const char* const kRemoveHelp = "usage: kvorxml rm FILE ELEMENT [options]\n"
                                "Removes ELEMENT, with everything below it, from its parent (RemoveChild).\n"
                                "The root element cannot be removed.\n" KVORXML_EDIT_OPTIONS;

const char* const kSaveHelp = "usage: kvorxml save FILE OUT [--allow-loss]\n"
                              "Loads FILE and writes the tree to OUT (- for standard output) as the library\n"
                              "writes it: UTF-16LE with a byte-order mark, an XML declaration, one line per\n"
                              "tag, four spaces per level. OUT is replaced only once the written file reads\n"
                              "back as the same tree; otherwise it is left as it was (exit status 1).\n";

// An edit: its document, the element it works on, where the result goes.
struct Edit {
    explicit Edit(const char* name) : command(name) {}

    std::string command;
    Document document;
    IXmlNode* node = nullptr;
    std::string target;
};

// A document the reader loaded only in part would be written without what
// it left out; that takes the user's word.
bool RefuseLoss(const Edit& edit, const Arguments& arguments)
{
    const std::vector<Finding> drops = DropsOf(edit.document);
    if (drops.empty() || arguments.Has("--allow-loss")) {
        return false;
    }
    for (const Finding& drop : drops) {
        PrintFinding(edit.document.Name(), drop, "warning: ");
    }
    Complain(edit.command, edit.document.Name() + " loads only in part; writing it would lose the rest "
                                                  "(--allow-loss writes what was read)");
    return true;
}

Arguments EditArguments(const Words& words)
{
    return Arguments(words, {"--attr", "--num", "-o"}, {"--help", "--allow-loss"});
}

// FILE ELEMENT ..., the words accepted: false, with status, when the edit
// cannot begin.
bool BeginEdit(const Arguments& arguments, Edit& edit, int& status)
{
    Query query;
    std::string error;
    if (!query.Read(arguments, arguments.Positional()[1], error)) {
        status = UsageError(edit.command, error);
        return false;
    }
    status = kExitFailure;
    edit.target = arguments.Has("-o") ? arguments.Value("-o") : arguments.Positional()[0];
    if (edit.target.empty()) {
        status = UsageError(edit.command, "-o takes a file name, or - for standard output");
        return false;
    }
    if (!OpenDocument(edit.command, arguments.Positional()[0], edit.document) || RefuseLoss(edit, arguments)) {
        return false;
    }
    edit.node = query.FindFirst(edit.document);
    if (edit.node == nullptr) {
        Complain(edit.command, "no element " + query.Describe());
    }
    return edit.node != nullptr;
}

// The name a positional word gives (ATTR, CHILD); false, with status, when empty.
bool ReadName(const Edit& edit, const std::string& word, const char* what, WString& name, int& status)
{
    name = FromUtf8(word);
    if (name.empty()) {
        status = UsageError(edit.command, std::string(what) + " may not be empty");
    }
    return !name.empty();
}

int Finish(const Edit& edit)
{
    std::string error;
    if (!SaveVerified(edit.document.Root(), edit.target, error)) {
        Complain(edit.command, (IsStandardStream(edit.target) ? std::string("the result is not written")
                                                   : edit.target + " is left as it was") + ": " + error);
        return kExitFailure;
    }
    return kExitSuccess;
}

std::string ElementName(IXmlNode* node) { return "<" + ToUtf8(node->GetName()) + ">"; }

} // namespace

int SetCommand(const Words& words)
{
    const Arguments arguments = EditArguments(words);
    Edit edit("set");
    int status = kExitSuccess;
    WString name;
    if (!Accept("set", arguments, 4, kSetHelp, status) ||
        !ReadName(edit, arguments.Positional()[2], "ATTR", name, status) || !BeginEdit(arguments, edit, status)) {
        return status;
    }
    edit.node->SetAttrString(name.c_str(), FromUtf8(arguments.Positional()[3]).c_str());
    return Finish(edit);
}

int AddCommand(const Words& words)
{
    const Arguments arguments = EditArguments(words);
    Edit edit("add");
    int status = kExitSuccess;
    WString name;
    if (!Accept("add", arguments, 3, kAddHelp, status) ||
        !ReadName(edit, arguments.Positional()[2], "CHILD", name, status) || !BeginEdit(arguments, edit, status)) {
        return status;
    }
    const int32_t before = ChildCount(edit.node);
    IXmlNode* child = nullptr;
    if (edit.node->FindOrAddChild(name.c_str(), &child) == 0) {
        Complain("add", "the library has no memory for a new element");
        return kExitFailure;
    }
    if (ChildCount(edit.node) == before) {
        Complain("add", ElementName(edit.node) + " already has a child " + ElementName(child) + "; nothing added");
    }
    return Finish(edit);
}

int RemoveCommand(const Words& words)
{
    const Arguments arguments = EditArguments(words);
    Edit edit("rm");
    int status = kExitSuccess;
    if (!Accept("rm", arguments, 2, kRemoveHelp, status) || !BeginEdit(arguments, edit, status)) {
        return status;
    }
    IXmlNode* parent = PlaceOf(edit.document.Root(), edit.node).parent;
    if (parent == nullptr) {
        Complain("rm", ElementName(edit.node) + " is the root element, which a document cannot do without");
        return kExitFailure;
    }
    parent->RemoveChild(edit.node);
    delete edit.node;
    return Finish(edit);
}

int SaveCommand(const Words& words)
{
    const Arguments arguments(words, {}, {"--help", "--allow-loss"});
    Edit edit("save");
    int status = kExitSuccess;
    if (!Accept("save", arguments, 2, kSaveHelp, status)) {
        return status;
    }
    edit.target = arguments.Positional()[1];
    if (!OpenDocument("save", arguments.Positional()[0], edit.document) || RefuseLoss(edit, arguments)) {
        return kExitFailure;
    }
    return Finish(edit);
}

} // namespace kvorxml
