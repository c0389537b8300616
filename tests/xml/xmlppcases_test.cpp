// Each file tests/data/xmlpp/cases/NAME.xml is a document to preprocess, headed by one comment
// per run: <!-- run: macros="A=1;B=2" --> (add expand="no" to turn attribute expansion off).
// NAME.expected holds, per run and separated by an empty line, the processed tree written flat
// and the warnings, one per line, with the cases directory shown as CASES.
#include "xmlpptesting.h"

#include "golden.h"

#include <algorithm>
#include <filesystem>
#include <regex>

namespace {

const std::string kCases = testDataPath("xmlpp/cases");

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(kCases)) {
        if (entry.path().extension() == ".xml")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string replaceAll(std::string text, const std::string &from, const std::string &to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class XmlPPCases : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(XmlPPCases, MatchesExpected) {
    const std::string file = kCases + "/" + GetParam() + ".xml";
    const std::string input = readFileBytes(file);
    static const std::regex run(R"~(<!-- run: macros="([^"]*)"( expand="no")? -->)~");
    std::string output;
    for (std::sregex_iterator it(input.begin(), input.end(), run), end; it != end; ++it) {
        CollectingDocument document;
        ASSERT_TRUE(document.parse(input)) << document.errorText();
        XmlPP::processConditionals(document, document.rootElement(), file,
                                   MacroMap::fromList((*it)[1].str()), !(*it)[2].matched);
        output += output.empty() ? "" : "\n";
        output += written(*document.rootElement()) + "\n";
        for (const std::string &warning : document.warnings)
            output += replaceAll(warning, kCases, "CASES") + "\n";
    }
    ASSERT_FALSE(output.empty()) << "no run comment in " << file;
    expectMatchesGolden(output, "xmlpp/cases/" + GetParam() + ".expected");
}

INSTANTIATE_TEST_SUITE_P(Files, XmlPPCases, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
