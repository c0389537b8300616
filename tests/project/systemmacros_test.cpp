#include "project/systemmacros.h"

#include "core/userdirectories.h"
#include "core/version.h"
#include "project/macroexpander.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

// The tests pin the clock and the time zone so the formats can be checked.
// 2024-03-05 07:08:09 UTC
std::time_t fixedClock() {
    return 1709622489;
}

class SystemMacrosTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", "/home/tester", 1);
        setenv("TZ", "UTC", 1);
        tzset();
        registerSystemMacros(m_expander, "ignored");
        m_expander.setClock(fixedClock);
    }

    std::string value(const std::string &name) const {
        return m_expander.systemExpand("$(" + name + ")");
    }

    MacroExpander m_expander;
};

TEST_F(SystemMacrosTest, EveryMacroIsRegisteredWithADescription) {
    std::istringstream list(
        "TovanDir TovanUserDir HomeDir DesktopDir DocumentsDir PackagesDir ZentipDir "
        "TovanMajorVersion TovanMinorVersion TovanSuiteVersionNumber TovanName TovanNameShort "
        "ProductName ProductNameShort Platform TovanExeName TovanBuildToolExeName "
        "TovanBuildToolName TovanScriptToolExeName TovanScriptToolName TovanSimulatorExeName "
        "TovanSimulatorName TovanArchiveFileExt TovanPackageFileExt TovanProjectFileExt "
        "TovanSessionFileExt HostArch HostArchClass HostOS HostEXE HostDLLExt HostDLL Micro "
        "TargetID Date DateYear DateMonth DateDay Time TimeHour TimeMinute TimeSecond UnixTime");
    const auto &system = m_expander.systemMacros();
    std::size_t count = 0;
    for (std::string name; list >> name; ++count) {
        auto it = system.find(name);
        ASSERT_NE(it, system.end()) << name;
        EXPECT_FALSE(it->second.description.empty()) << name;
        EXPECT_EQ(it->second.description.find('\n'), std::string::npos) << name;
    }
    EXPECT_EQ(system.size(), count);
    EXPECT_EQ(system.at("TovanDir").description, "The install directory of the product.");
    EXPECT_EQ(system.at("TovanUserDir").description, "The directory containing the user data.");
    EXPECT_EQ(system.at("PackagesDir").description, "Path to the users packages directory.");
}

TEST_F(SystemMacrosTest, DateAndTimeFormats) {
    EXPECT_EQ(m_expander.systemExpand("$(Date) $(Time)"), "5 March 2024 07:08:09");
    EXPECT_EQ(m_expander.systemExpand("$(DateYear)-$(DateMonth)-$(DateDay)"), "2024-03-05");
    EXPECT_EQ(m_expander.systemExpand("$(TimeHour).$(TimeMinute).$(TimeSecond)"), "07.08.09");
    EXPECT_EQ(value("UnixTime"), "1709622489");
}

// 2024-12-23 23:00:00 UTC
std::time_t lateClock() {
    return 1734994800;
}

TEST_F(SystemMacrosTest, DateFollowsTheLocalTimeZone) {
    m_expander.setClock(lateClock);
    EXPECT_EQ(m_expander.systemExpand("$(Date) $(Time)"), "23 December 2024 23:00:00");
    setenv("TZ", "UTC-2", 1); // two hours east of UTC
    tzset();
    EXPECT_EQ(m_expander.systemExpand("$(Date) $(Time)"), "24 December 2024 01:00:00");
    EXPECT_EQ(value("UnixTime"), "1734994800") << "seconds since the epoch ignore the zone";
}

TEST_F(SystemMacrosTest, DirectoriesFollowHome) {
    EXPECT_EQ(value("HomeDir"), "/home/tester");
    EXPECT_EQ(value("DesktopDir"), "/home/tester/Desktop");
    EXPECT_EQ(value("DocumentsDir"), "/home/tester/Documents");
    EXPECT_EQ(value("TovanUserDir"), "/home/tester/.local/share/palindor");
    EXPECT_EQ(value("PackagesDir"), value("TovanUserDir") + "/packages");
    EXPECT_EQ(value("ZentipDir"), value("TovanDir") + "/zentip");
    // The test program is not installed, so its install directory is the one it sits in.
    EXPECT_EQ(value("TovanDir"), installDirectoryOf(executablePath()));
}

TEST_F(SystemMacrosTest, ProductAndHost) {
    EXPECT_EQ(value("TovanName"), kProductName);
    EXPECT_EQ(value("TovanProjectFileExt"), "qzProject");
#if defined(__x86_64__) && defined(__linux__)
    EXPECT_EQ(m_expander.systemExpand("$(HostArch) $(HostArchClass) $(HostOS)"), "x64 x86 linux");
    EXPECT_EQ(m_expander.systemExpand("[$(HostEXE)] $(HostDLLExt) $(HostDLL)"), "[] .so _x64.so");
#endif
}

TEST(InstallDirectory, IsAboveBinOrBesideTheProgram) {
    EXPECT_EQ(installDirectoryOf("/opt/palindor/bin/dova"), "/opt/palindor");
    EXPECT_EQ(installDirectoryOf("/opt/palindor/dova"), "/opt/palindor");
    EXPECT_EQ(installDirectoryOf("/bin/dova"), "/");
    EXPECT_EQ(installDirectoryOf("bin/dova"), ".");
    EXPECT_EQ(installDirectoryOf("dova"), "");
}

} // namespace
