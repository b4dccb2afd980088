// A tree as deep as a client cares to build: the parser's search, the
// writer and the release walk it without recursion, so a thread with a
// small stack survives them.
#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

#include <memory>

#include "kvor/parser/XMLParser.h"
#include "../dom/DomTestSupport.h"

using namespace kvortest;

namespace {

const size_t kSmallStack = 256 * 1024;
const int kDepth = 20000;

// Runs work on a thread of its own with a small stack and waits for it.
#if defined(_WIN32)
DWORD WINAPI Run(LPVOID work)
{
    (*static_cast<void (**)()>(work))();
    return 0;
}
void OnSmallStack(void (*work)())
{
    HANDLE thread = CreateThread(nullptr, kSmallStack, Run, &work, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}
#else
void* Run(void* work)
{
    (*static_cast<void (**)()>(work))();
    return nullptr;
}
void OnSmallStack(void (*work)())
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kSmallStack);
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(&thread, &attributes, Run, &work));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}
#endif

// Builds the tree below a loaded document's element, searches it, saves it
// and releases it with the parser, all on the small stack.
void BuildSearchSaveAndRelease()
{
    TempDir dir;
    WriteText(dir.File("doc.xml"), "<d0/>");
    std::unique_ptr<CKvorXMLParser> parser(new CKvorXMLParser());
    IXmlNode* root = nullptr;
    ASSERT_EQ(KVOR_OK, parser->LoadXmlFile(W(dir.File("doc.xml")).c_str()));
    ASSERT_EQ(KVOR_OK, parser->FindNode(KVOR_TEXT("d0"), &root, nullptr, nullptr, nullptr));
    IXmlNode* node = root;
    for (int depth = 1; depth < kDepth; ++depth) {
        ASSERT_EQ(1u, node->FindOrAddChild(W("d" + std::to_string(depth)).c_str(), &node)) << depth;
    }
    IXmlNode* found = nullptr;
    const WString deepest = W("d" + std::to_string(kDepth - 1));
    EXPECT_EQ(KVOR_NOT_FOUND, parser->FindNode(KVOR_TEXT("none"), &found, nullptr, nullptr, nullptr));
    EXPECT_EQ(KVOR_OK, parser->FindNode(deepest.c_str(), &found, nullptr, nullptr, nullptr));
    EXPECT_EQ(node, found) << "the deepest element is found";
    EXPECT_EQ(1u, root->SaveToFile(W(dir.File("saved.xml")).c_str())); // what it holds is the writer test's
}

TEST(DeepTree, SearchSaveAndReleaseNeedNoStackPerLevel)
{
    OnSmallStack(BuildSearchSaveAndRelease);
}

} // namespace
