#include "window/settings_store.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

using vaskerel::SettingsStore;

namespace {

const QString kApp = QStringLiteral("Zorm");
const QString kSection = QStringLiteral("Setting");

class SettingsStoreTest : public ::testing::Test {
protected:
    testing_support::TempFolder folder;
    const QString path = QString::fromStdString(folder.path().string());
};

} // namespace

TEST_F(SettingsStoreTest, RoundTripsEmptyAndNonAsciiValues)
{
    {
        SettingsStore store(path);
        EXPECT_FALSE(store.SaveSetting(kApp, kSection, "InputDir", "/データ/入力 #1"));
        EXPECT_FALSE(store.SaveSetting(kApp, kSection, "OutFile", ""));
        EXPECT_FALSE(store.SaveSetting(kApp, kSection, "Title", "a=b; c\\d \"q\""));
    }
    SettingsStore store(path);
    EXPECT_EQ(store.GetSetting(kApp, kSection, "InputDir", "unset"), "/データ/入力 #1");
    EXPECT_EQ(store.GetSetting(kApp, kSection, "OutFile", "unset"), "");
    EXPECT_EQ(store.GetSetting(kApp, kSection, "Title", "unset"), "a=b; c\\d \"q\"");
    EXPECT_EQ(store.GetSetting(kApp, kSection, "CSS", "unset"), "unset");
    EXPECT_EQ(store.fileFor(kApp), path + "/Zorm.ini");
}

TEST_F(SettingsStoreTest, KeysMatchWithoutRegardToCase)
{
    SettingsStore store(path);
    store.SaveSetting(kApp, kSection, "InputDir", "/first");
    EXPECT_EQ(store.GetSetting(kApp, kSection, "inputDir", ""), "/first");
    store.SaveSetting(kApp, kSection, "INPUTDIR", "/second");
    EXPECT_EQ(store.GetSetting(kApp, kSection, "inputDir", ""), "/second");
    EXPECT_EQ(store.GetSetting(kApp, "other", "inputDir", "none"), "none");
}

TEST_F(SettingsStoreTest, MissingFolderReadsAsDefaults)
{
    SettingsStore missing(path + "/no/such/folder");
    EXPECT_EQ(missing.GetSetting(kApp, kSection, "Title", "none"), "none");
}

TEST_F(SettingsStoreTest, CorruptFileReadsAsDefaultsAndCountsAsSavedOnlyWhenItWasRewritten)
{
    const std::string corrupt = "\x01\xFF garbage [[[ = \n[Setting\n";
    testing_support::writeFile(folder / "Zorm.ini", corrupt);
    EXPECT_EQ(SettingsStore(path).GetSetting(kApp, kSection, "Title", "none"), "none");
    // Files the child writes may not grow past a few bytes, even for root.
    const auto unsaved = testing_support::runInChild(
        [&] { return SettingsStore(path).SaveSetting(kApp, kSection, "Title", "x").message(); }, {.fileSizeLimit = 8});
    EXPECT_EQ(unsaved.output, std::strerror(EFBIG)) << "the reason QSettings keeps to itself";
    EXPECT_EQ(testing_support::readFile(folder / "Zorm.ini"), corrupt);
    SettingsStore store(path);
    EXPECT_FALSE(store.SaveSetting(kApp, kSection, "Title", "x"));
    EXPECT_NE(testing_support::readFile(folder / "Zorm.ini").find("Title=x"), std::string::npos);
}

TEST_F(SettingsStoreTest, OversizedFileIsSetAsideUnreadAndReplaced)
{
    const std::string file = folder / "Zorm.ini";
    testing_support::writeFile(file, "[Setting]\nTitle=old\n");
    testing_support::makeSparseFile(file, SettingsStore::kLargestFile + 1);
    SettingsStore store(path);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(store.GetSetting(kApp, kSection, "Title", "none"), "none");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(store.takeSetAside(), QStringList{path + "/Zorm.ini.set-aside"});
    EXPECT_TRUE(store.takeSetAside().isEmpty()) << "told twice";
    EXPECT_EQ(std::filesystem::file_size(folder / "Zorm.ini.set-aside"), SettingsStore::kLargestFile + 1);
    EXPECT_FALSE(store.SaveSetting(kApp, kSection, "Title", "new"));
    EXPECT_EQ(testing_support::readFile(file), "[Setting]\nTitle=new\n");

    // A second one does not replace the first that was set aside.
    testing_support::makeSparseFile(file, SettingsStore::kLargestFile * 2);
    EXPECT_FALSE(store.SaveSetting(kApp, kSection, "Title", "newer"));
    EXPECT_EQ(store.takeSetAside(), QStringList{path + "/Zorm.ini.set-aside.2"});
    EXPECT_EQ(std::filesystem::file_size(folder / "Zorm.ini.set-aside"), SettingsStore::kLargestFile + 1);
    EXPECT_EQ(store.GetSetting(kApp, kSection, "Title", ""), "newer");
}

TEST_F(SettingsStoreTest, FifoInItsPlaceIsSetAsideRatherThanWaitedOn)
{
    ASSERT_EQ(::mkfifo((folder / "Zorm.ini").c_str(), 0600), 0);
    SettingsStore store(path);
    EXPECT_EQ(store.GetSetting(kApp, kSection, "Title", "none"), "none");
    EXPECT_EQ(store.takeSetAside(), QStringList{path + "/Zorm.ini.set-aside"});
    EXPECT_FALSE(store.SaveSetting(kApp, kSection, "Title", "x"));
}
