#include "Document.h"

namespace kvorxml {

bool Document::Read(const std::string& path, std::string& error)
{
    m_name = DisplayName(path);
    InputBytes bytes;
    if (!bytes.Read(path, error)) {
        return false;
    }
    Load(bytes);
    return true;
}

void Document::Load(InputBytes& bytes)
{
    const uint32_t size = bytes.Size();
    if (size == 0) {
        m_report.failure.problem = ReadProblem::kEmptyFile;
        m_report.failure.offset = 0;
        return;
    }
    IXmlNode* root = nullptr;
    if (!m_text.Decode(bytes.Take(), size) || ParseDocument(m_text, &root, &m_report) != 1) {
        if (m_report.failure.problem == ReadProblem::kNone) {
            m_report.failure.problem = ReadProblem::kOutOfMemory;
            m_report.failure.offset = 0;
        }
        return;
    }
    m_parser.TakeTree(root);
    m_root = root;
}

} // namespace kvorxml
