// Runs kvorxml as a user does, in a folder of its own with its own registry
// store and device root, and gives back its exit status and output.
#ifndef KVORXML_TEST_RUN_H
#define KVORXML_TEST_RUN_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestText.h"

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class KvorxmlTest : public ::testing::Test {
protected:
    // Standard input is input (a file), else empty; standard output goes to
    // output when it is given; debugOutput is KVOR_DEBUG_OUTPUT.
    Outcome Kvorxml(const std::vector<std::string>& words, const std::string& debugOutput = "",
                    const std::string& input = "/dev/null", std::string output = "")
    {
        output = output.empty() ? m_dir.File("out") : output;
        using kvortest::Quoted;
        std::string arguments;
        for (const std::string& word : words) {
            arguments += Quoted(word) + " ";
        }
        const int status = kvortest::RunProgram(
            {{"KVOR_REGISTRY", m_dir.File("registry")}, {"KVOR_DEVICE_ROOT", m_dir.File("device")},
             {"KVOR_DEBUG_OUTPUT", debugOutput}},
            KVORXML_PATH, arguments + "<" + Quoted(input) + " >" + Quoted(output) + " 2>" + Quoted(m_dir.File("err")),
            m_dir.Path());
        return Outcome{status, kvortest::ReadText(m_dir.File("out")), kvortest::ReadText(m_dir.File("err"))};
    }
    std::string File(const std::string& name, const std::string& text)
    {
        kvortest::WriteText(m_dir.File(name), text);
        return m_dir.File(name);
    }

    kvortest::TempDir m_dir;
    const std::string m_utf16 = KVOR_EXAMPLES_DIR "/device-ui.xml";
    const std::string m_ansi = KVOR_EXAMPLES_DIR "/device-ui-ansi.xml";
};

#endif // KVORXML_TEST_RUN_H
