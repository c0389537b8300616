// GNU make as an independent judge of list order: target-specific "+=" variables are inherited
// by prerequisites, so a make file whose solution target needs its projects and each project
// its files appends solution, then project, then file values: outermost first, as list
// resolution must.

#include "crosstool.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"
#include "project/standardprojectsystem.h"
#include "scratchdirtest.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

namespace {

// Per level the children consulted for "Debug", in the order make must append them:
// "Common", then the inherited ones in reverse list order, then "Debug".
const char *const kConsulted[] = {"Common", "Fast", "Arm", "Debug"};

struct Generated {
    std::string solution;
    std::string makefile;
    std::vector<std::string> targets; // file targets in make output order
};

// Each level gets, at random, values in some of its configuration children: one to three
// items, or now and then an explicit empty value.
Generated generate(unsigned seed, int projects, int filesPerProject) {
    std::mt19937 random(seed);
    int counter = 0;
    Generated out;
    std::ostringstream xml, make;
    make << ".PHONY: all\nall: solution\n";
    // `extra` holds the attributes of the solution's children: the inheritance itself.
    auto values = [&](const std::string &target, std::string &configurations,
                      const std::map<std::string, std::string> &extra) {
        for (const char *configuration : kConsulted) {
            const unsigned roll = random() % 6;
            std::string element = "<configuration Name=\"" + std::string(configuration) + "\"";
            if (auto found = extra.find(configuration); found != extra.end())
                element += " " + found->second;
            if (roll != 0) {
                std::string items;
                if (roll > 1)
                    for (unsigned i = 0; i < roll % 3 + 1; ++i)
                        items += (items.empty() ? "" : ";") + ("D" + std::to_string(counter++));
                element += " c_preprocessor_definitions=\"" + items + "\"";
                std::string words = items;
                std::replace(words.begin(), words.end(), ';', ' ');
                make << target << ": DEFS += " << words << "\n";
            }
            configurations += element + " />\n";
        }
    };
    std::string top;
    values("solution", top,
           {{"Debug", "inherited_configurations=\"Arm;Fast\""},
            {"Arm", "hidden=\"Yes\""},
            {"Fast", "hidden=\"Yes\""}});
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Palindor_Project_File>\n"
        << "<solution Name=\"Oracle\" target=\"1\">\n"
        << top;
    make << "solution:";
    for (int p = 0; p < projects; ++p)
        make << " p" << p;
    make << "\n";
    for (int p = 0; p < projects; ++p) {
        const std::string project = "p" + std::to_string(p);
        std::string configurations;
        values(project, configurations, {});
        xml << "<project Name=\"" << project << "\">\n" << configurations;
        make << project << ":";
        for (int f = 0; f < filesPerProject; ++f)
            make << " " << project << "_f" << f;
        make << "\n";
        for (int f = 0; f < filesPerProject; ++f) {
            const std::string file = project + "_f" + std::to_string(f);
            std::string fileConfigurations;
            values(file, fileConfigurations, {});
            xml << "<file file_name=\"" << file << ".c\">\n" << fileConfigurations << "</file>\n";
            make << file << ":\n\t@echo '" << file << ":' $(DEFS)\n";
            out.targets.push_back(file);
        }
        xml << "</project>\n";
    }
    xml << "</solution>\n";
    out.solution = xml.str();
    out.makefile = make.str();
    return out;
}

class MakeOracleTest : public ScratchDirTest {};

TEST_F(MakeOracleTest, ListOrderMatchesTargetSpecificAppends) {
    REQUIRE_TOOL("make", "make");
    for (unsigned seed : {1u, 2u, 3u}) {
        const Generated generated = generate(seed, 6, 8);
        write("oracle.mk", generated.makefile);

        QProcess make;
        make.start("make", {"-s", "-f", QString::fromStdString(path("oracle.mk"))});
        ASSERT_TRUE(make.waitForFinished(60000));
        ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
        std::istringstream lines(make.readAllStandardOutput().toStdString());
        std::map<std::string, std::string> fromMake;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t colon = line.find(':');
            std::string words = line.substr(colon + 1);
            // make separates with runs of spaces; the lists with ";".
            std::istringstream split(words);
            std::string joined;
            for (std::string word; split >> word;)
                joined += (joined.empty() ? "" : ";") + word;
            fromMake[line.substr(0, colon)] = joined;
        }
        ASSERT_EQ(fromMake.size(), generated.targets.size());

        MacroExpander macros;
        PropertyRegistry registry;
        registerBuiltinProperties(registry, nullptr);
        StandardProjectSystem system(macros);
        ProjectElement *root = system.loadSolution(write("oracle.qzProject", generated.solution));
        const PropertyClass &definition = *registry.find("c_preprocessor_definitions");
        for (const std::string &target : generated.targets) {
            const std::string project = target.substr(0, target.find('_'));
            ProjectElement *file = NodePath::find(*root, project + "/" + target + ".c");
            ASSERT_NE(file, nullptr) << target;
            EXPECT_EQ(PropertyResolver::resolve(*file, definition, "Debug"), fromMake[target])
                << "seed " << seed << ", " << target;
        }
    }
}

} // namespace
