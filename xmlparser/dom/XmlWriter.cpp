// Writes a node and its subtree as UTF-16LE XML: byte-order mark,
// declaration, one line per start tag, content and end tag, four spaces of
// indentation per level, CR LF after each line. Nothing is escaped.
#include "kvor/dom/FileWrapper.h"
#include "kvor/dom/JXMLNode.h"

namespace {

const int32_t kIndentStep = 4;

// Starts the line with indentation spaces.
void BeginLine(WCHAR* line, int32_t indentation)
{
    for (int32_t index = 0; index < indentation; ++index) {
        line[index] = KVOR_TEXT(' ');
    }
    line[indentation] = 0;
}

void Append(WCHAR* line, const WCHAR* piece)
{
    if (piece != nullptr) {
        StringCchCatW(line, CJXMLNode::kLineCapacity, piece);
    }
}

} // namespace

uint32_t CJXMLNode::SaveToFile(const WCHAR* path)
{
    CFileWrapper file;
    if (file.Open(path, CREATE_ALWAYS, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  FILE_ATTRIBUTE_NORMAL) == 0) {
        return 0;
    }
    file.WriteByteOrderMark();
    file.WriteLine(KVOR_TEXT("<?xml version=\"1.0\"?>"));
    WriteElement(this, file, 0);
    file.Close();
    return 1;
}

// An element whose line buffer cannot be had is left out with its subtree;
// a line that cannot be written is lost. Neither changes SaveToFile's result.
void CJXMLNode::WriteElement(CJXMLNode* node, CFileWrapper& file, int32_t indentation)
{
    const int32_t childCount = node->m_children.count;
    const int32_t attributeCount = node->m_attributes.GetCount();
    const bool hasBody = childCount > 0 || node->m_content != nullptr;

    // From 512 levels below the saved element the spaces alone would fill
    // the line, and no reader of ours loads a file that deep: such elements
    // are left out with their subtrees, which also bounds the writer's
    // recursion whatever depth a tree was built to.
    if (indentation >= kLineCapacity) {
        return;
    }
    WCHAR* line = kvor::AllocateArray<WCHAR>(kLineCapacity);
    if (line == nullptr) {
        return;
    }

    BeginLine(line, indentation);
    Append(line, KVOR_TEXT("<"));
    Append(line, node->m_name);
    for (int32_t index = 0; index < attributeCount; ++index) {
        const WCHAR* key = nullptr;
        const WCHAR* value = nullptr;
        if (node->m_attributes.GetAt(index, &key, &value, nullptr) == 0) {
            continue;
        }
        Append(line, KVOR_TEXT(" "));
        Append(line, key);
        Append(line, KVOR_TEXT("=\""));
        Append(line, value);
        Append(line, KVOR_TEXT("\""));
    }
    Append(line, hasBody ? KVOR_TEXT(">") : KVOR_TEXT(" />"));
    file.WriteLine(line);

    if (node->m_content != nullptr) {
        BeginLine(line, indentation);
        Append(line, node->m_content);
        file.WriteLine(line);
    }

    // The writer reads members directly, so only nodes of this class can be
    // written; any other implementation attached with AddChild is skipped.
    node->m_childCursor = node->m_children.head;
    while (node->m_childCursor != nullptr) {
        IXmlNode* child = node->m_childCursor->node;
        node->m_childCursor = node->m_childCursor->next;
        CJXMLNode* element = AsElement(child);
        if (element != nullptr) {
            WriteElement(element, file, indentation + kIndentStep);
        }
    }

    if (hasBody) {
        BeginLine(line, indentation);
        Append(line, KVOR_TEXT("</"));
        Append(line, node->m_name);
        Append(line, KVOR_TEXT(">"));
        file.WriteLine(line);
    }
    kvor::Release(line);
}
