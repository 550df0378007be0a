// The start-up probes against a registry of the test's own (the machine roots
// are redirected into a scratch key) and files of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "Global.h"
#include "RegistrySandbox.h"
#include "TestSupport.h"
#include "Texts.h"

namespace {

const char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Trawlmark";
const char kBrowserKey[] = "Software\\Microsoft\\Internet Explorer";

class Probes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    install_ = temp_.Join("Tools\\Trawlix");
    MakeFolderPath(install_);
    ASSERT_TRUE(twxtest::WriteWholeFile(install_ + "\\Trawlix.exe", "MZ"));
    ASSERT_TRUE(twxtest::WriteWholeFile(install_ + "\\uninst.exe", "MZ"));
  }
  void SetMachine(const std::string& value, const std::string& data) {
    ASSERT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, kWindowsKey, value, data));
  }
  void SetUninstallString(const std::string& data) {
    ASSERT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString", data));
  }
  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder temp_;
  std::string install_;
};

TEST_F(Probes, AnEarlierInstallationBecomesTheDefaultDestination) {
  SetMachine("ProgramFilesDir", "C:\\Program Files");
  SetMachine("CommonFilesDir", "C:\\Program Files\\Common Files");
  for (const std::string& command : {"\"" + install_ + "\\uninst.exe\"", install_ + "\\uninst.exe"}) {
    SCOPED_TRACE(command);
    SetUninstallString(command);
    ExistingInstallation = false;
    DefaultDestination.clear();
    ProbeEnvironment();
    EXPECT_TRUE(ExistingInstallation);
    EXPECT_EQ(DefaultDestination, install_);
    EXPECT_EQ(SharedHelperFolder, "C:\\Program Files\\Common Files\\VarnTech");
  }
  EXPECT_EQ(ReadUninstallString("Trawlmark"), install_ + "\\uninst.exe");
}

TEST_F(Probes, AnInstallationThatLostItsProgramIsIgnored) {
  SetMachine("ProgramFilesDir", "C:\\Program Files");
  SetUninstallString("\"" + install_ + "\\uninst.exe\"");
  ASSERT_TRUE(DeleteFileA((install_ + "\\Trawlix.exe").c_str()));
  ExistingInstallation = true;
  ProbeEnvironment();
  EXPECT_FALSE(ExistingInstallation);
  EXPECT_EQ(DefaultDestination, "C:\\Program Files\\VarnTech\\Trawlix");
}

TEST_F(Probes, MissingValuesGiveFoldersOnDriveC) {
  ProbeEnvironment();
  EXPECT_FALSE(ExistingInstallation);
  EXPECT_EQ(DefaultDestination, "C:\\VarnTech\\Trawlix");
  EXPECT_EQ(SharedHelperFolder, "C:\\VarnTech");
  EXPECT_EQ(ReadUninstallString("Trawlmark"), "");
  EXPECT_EQ(ReadWindowsFolderValue("ProgramFilesDir", "\\x"), "C:\\x");
}

TEST_F(Probes, StartUpFillsTheVersionAndStampsTheWelcomeText) {
  WelcomeText = kWelcomeTemplate;
  OsVersion = OSVERSIONINFOA();
  ProbeEnvironment();
  EXPECT_EQ(OsVersion.dwOSVersionInfoSize, 148u);
  EXPECT_EQ(OsVersion.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_GE(OsVersion.dwMajorVersion, 5u);
  SYSTEMTIME now;
  GetSystemTime(&now);
  EXPECT_NE(WelcomeText.find("2001-" + std::to_string(now.wYear)), std::string::npos);
  // A second run finds no placeholder and changes nothing.
  const std::string once = WelcomeText;
  ProbeEnvironment();
  EXPECT_EQ(WelcomeText, once);
  EXPECT_EQ(FinishText, kFinishText);
}

TEST_F(Probes, ValuesAreReadUpToTheirEndAndTooLongOnesAreRefused) {
  SetMachine("ProgramFilesDir", "D:\\Apps");
  EXPECT_EQ(ReadWindowsFolderValue("ProgramFilesDir", "\\VarnTech\\Trawlix"), "D:\\Apps\\VarnTech\\Trawlix");
  // Stored without its terminating zero: nothing of the text is lost.
  ASSERT_TRUE(twxtest::WriteRegValue(HKEY_LOCAL_MACHINE, kWindowsKey, "Unterminated", REG_SZ, "E:\\Soft"));
  EXPECT_EQ(ReadWindowsFolderValue("Unterminated", "\\V"), "E:\\Soft\\V");
  SetMachine("Empty", "");
  EXPECT_EQ(ReadWindowsFolderValue("Empty", "\\V"), "\\V");
  SetMachine("TooLong", "D:\\" + std::string(300, 'a'));
  EXPECT_EQ(ReadWindowsFolderValue("TooLong", "\\V"), "C:\\V");
  SetUninstallString("\"C:\\" + std::string(270, 'u') + "\\uninst.exe\"");
  EXPECT_EQ(ReadUninstallString("Trawlmark"), "");
  EXPECT_EQ(ReadUninstallString("NoSuchProduct"), "");
}

// How the number is read from the text is checked by the portable code.
TEST_F(Probes, BrowserVersionIsReadFromTheRegistry) {
  EXPECT_EQ(GetBrowserMajorVersion(), 0);  // no key at all
  ASSERT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, kBrowserKey, "Version", "11.0.9600.17842"));
  EXPECT_EQ(GetBrowserMajorVersion(), 11);
}

TEST(FileVersion, ReadsTheFirstTwoPartsOfTheFixedVersion) {
  unsigned major = 99, minor = 99;
  // This test program carries the version 7.12.3.4.
  EXPECT_TRUE(GetFileVersion(OwnModulePath(), &major, &minor));
  EXPECT_EQ(major, 7u);
  EXPECT_EQ(minor, 12u);

  twxtest::TempFolder temp;
  const std::string plain = temp.Join("plain.txt");
  ASSERT_TRUE(twxtest::WriteWholeFile(plain, "no version here"));
  major = minor = 99;
  EXPECT_FALSE(GetFileVersion(plain, &major, &minor));
  EXPECT_EQ(major, 0u);
  EXPECT_EQ(minor, 0u);
  major = minor = 99;
  EXPECT_FALSE(GetFileVersion(temp.Join("missing.exe"), &major, &minor));
  EXPECT_EQ(major + minor, 0u);
}

}  // namespace
