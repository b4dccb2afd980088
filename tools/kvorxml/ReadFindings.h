// The reader's account of a load in a person's terms: the line and column
// of each event, its reason in words, and the line it stands on.
#ifndef KVORXML_READ_FINDINGS_H
#define KVORXML_READ_FINDINGS_H

#include <string>
#include <vector>

#include "Document.h"
#include "TextCodec.h"

namespace kvorxml {

struct Finding {
    int line = 1;   // counting from 1
    int column = 1; // in UTF-16 characters, counting from 1
    std::string reason;
    WString lineText; // the whole line, without its end
};

// Why the document does not load.
Finding FailureOf(const Document& document);
// What a load that succeeded left out, as far as the report kept it.
std::vector<Finding> DropsOf(const Document& document);

// "name:line:column: " + prefix + reason, then the line with a caret under
// the column, on standard error.
void PrintFinding(const std::string& name, const Finding& finding, const std::string& prefix);

} // namespace kvorxml

#endif // KVORXML_READ_FINDINGS_H
