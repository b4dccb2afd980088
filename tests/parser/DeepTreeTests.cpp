// A tree as deep as a client cares to build: the parser's search, the
// writer and the release walk it without recursion, so a thread with a
// small stack survives them.
#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

#include <gtest/gtest.h>

#include <string>

#include "TestText.h"
#include "kvor/parser/XMLParser.h"

using namespace kvortest;

namespace {

const size_t kSmallStack = 256 * 1024;
const int kDepth = 20000;

// Runs work on a thread of its own with a small stack and waits for it.
void OnSmallStack(void (*work)(void*), void* context)
{
    struct Call {
        void (*work)(void*);
        void* context;
    } call = {work, context};
#if defined(_WIN32)
    HANDLE thread = CreateThread(
        nullptr, kSmallStack,
        [](LPVOID argument) -> DWORD {
            Call* c = static_cast<Call*>(argument);
            c->work(c->context);
            return 0;
        },
        &call, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kSmallStack);
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(
                     &thread, &attributes,
                     [](void* argument) -> void* {
                         Call* c = static_cast<Call*>(argument);
                         c->work(c->context);
                         return nullptr;
                     },
                     &call));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
#endif
}

struct DeepTree {
    TempDir dir;
    uint32_t missing = 0;
    IXmlNode* deepest = nullptr;
    uint32_t saved = 0;
};

void BuildSearchSaveAndRelease(void* context)
{
    DeepTree& tree = *static_cast<DeepTree*>(context);
    WriteText(tree.dir.File("doc.xml"), "<d0/>");
    CKvorXMLParser* parser = new CKvorXMLParser();
    IXmlNode* node = nullptr;
    if (parser->LoadXmlFile(W(tree.dir.File("doc.xml")).c_str()) != KVOR_OK ||
        parser->FindNode(KVOR_TEXT("d0"), &node, nullptr, nullptr, nullptr) != KVOR_OK) {
        delete parser;
        return;
    }
    for (int depth = 1; depth < kDepth && node != nullptr; ++depth) {
        IXmlNode* child = nullptr;
        node = node->FindOrAddChild(W("d" + std::to_string(depth)).c_str(), &child) == 1 ? child : nullptr;
    }
    IXmlNode* found = nullptr;
    tree.missing = parser->FindNode(KVOR_TEXT("none"), &found, nullptr, nullptr, nullptr);
    parser->FindNode(W("d" + std::to_string(kDepth - 1)).c_str(), &tree.deepest, nullptr, nullptr, nullptr);
    tree.deepest = tree.deepest == node ? tree.deepest : nullptr;
    IXmlNode* root = nullptr;
    parser->FindNode(KVOR_TEXT("d0"), &root, nullptr, nullptr, nullptr);
    tree.saved = root->SaveToFile(W(tree.dir.File("saved.xml")).c_str());
    delete parser;
}

TEST(DeepTree, SearchSaveAndReleaseNeedNoStackPerLevel)
{
    DeepTree tree;
    OnSmallStack(BuildSearchSaveAndRelease, &tree);
    EXPECT_EQ(KVOR_NOT_FOUND, tree.missing);
    EXPECT_NE(nullptr, tree.deepest) << "the deepest element is found";
    EXPECT_EQ(1u, tree.saved);
    // The declaration, then 512 start and 512 end tags of two bytes a character.
    EXPECT_LT(ReadBytes(tree.dir.File("saved.xml")).size(), 2u * 1024 * 2048);
}

} // namespace
