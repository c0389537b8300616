#include "core/userdirectories.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

TEST(UserDirectories, DerivedFromHome) {
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(homeDirectory(), "/home/u");
    EXPECT_EQ(documentsDirectory(), "/home/u/Documents");
    EXPECT_EQ(desktopDirectory(), "/home/u/Desktop");
    EXPECT_EQ(userDataDirectory(), "/home/u/.local/share");
    EXPECT_EQ(hiddenApplicationDirectory("My Great App"), "/home/u/.my_great_app");
    EXPECT_EQ(sharedDataDirectory(), "/usr/share");
    EXPECT_EQ(userApplicationDirectory("Palindor"), "/home/u/.local/share/palindor");
    EXPECT_EQ(environmentSettingsFile("Palindor"),
              "/home/u/.local/share/palindor/environment_settings.xml");

    setenv("HOME", "/home/u//", 1);
    EXPECT_EQ(documentsDirectory(), "/home/u/Documents");
    setenv("HOME", "/", 1);
    EXPECT_EQ(homeDirectory(), "/");
    EXPECT_EQ(desktopDirectory(), "/Desktop");
}

TEST(UserDirectories, WithoutHomeTheAccountsDirectoryIsUsed) {
    const passwd *entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    std::string expected = entry->pw_dir && *entry->pw_dir ? entry->pw_dir : "/";
    unsetenv("HOME");
    EXPECT_EQ(homeDirectory(), expected);
    setenv("HOME", "", 1);
    EXPECT_EQ(homeDirectory(), expected);
    EXPECT_FALSE(documentsDirectory().empty());
}

TEST(UserDirectories, ApplicationDirectoryName) {
    EXPECT_EQ(applicationDirectoryName("Palindor"), "palindor");
    EXPECT_EQ(applicationDirectoryName("A B  C"), "a_b__c");
    EXPECT_EQ(applicationDirectoryName("x-1.2"), "x-1.2");
}

TEST(ExecutablePath, ReadsTheProcessLinkOrFallsBackToTheArgument) {
    std::string path = executablePath("fallback");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "core_test");
    EXPECT_EQ(executablePathFrom("/nonexistent/link", "./prog"), "./prog");
    EXPECT_EQ(executablePathFrom("/nonexistent/link", ""), "");
}

TEST(ExecutablePath, LongLinkTargetsAreReadWhole) {
    char pattern[] = "/tmp/exelinkXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern;
    std::string target = "/" + std::string(1000, 'd') + "/prog";
    std::string link = dir + "/link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(executablePathFrom(link, "x"), target);
    unlink(link.c_str());
    rmdir(dir.c_str());
}

} // namespace
