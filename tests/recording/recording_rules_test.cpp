#include "common/plain_file_path.h"
#include "recording/recording_rules.h"

#include <gtest/gtest.h>

TEST(RecordingRules, IntervalLimitsAndPicker) {
    EXPECT_EQ(ClampRecordInterval(0), 1);
    EXPECT_EQ(ClampRecordInterval(-60), 1);
    EXPECT_EQ(ClampRecordInterval(86399), 86399);
    EXPECT_EQ(ClampRecordInterval(86400), 86399);
    const IntervalParts p = SplitRecordInterval(3725);
    EXPECT_EQ(p.nHour, 1);
    EXPECT_EQ(p.nMinute, 2);
    EXPECT_EQ(p.nSecond, 5);
    EXPECT_EQ(SplitRecordInterval(1000000).nHour, 23);
    EXPECT_EQ(RecordIntervalFromPicker(true, 0, 0, 0), 1);
    EXPECT_EQ(RecordIntervalFromPicker(false, 1, 2, 3), 1);
    EXPECT_EQ(RecordIntervalFromPicker(true, 1, 2, 5), 3725);
    EXPECT_EQ(RecordIntervalFromPicker(true, 23, 59, 59), 86399);
}

TEST(RecordingRules, ChosenNamesWithoutExtensionGetTheFiltersOne) {
    const char* const report[] = {".txt", ".csv"};
    EXPECT_EQ(WithFilterExtension("C:\\a\\raport", false, 1, report, 2), "C:\\a\\raport.txt");
    EXPECT_EQ(WithFilterExtension("C:\\a\\raport", false, 2, report, 2), "C:\\a\\raport.csv");
    EXPECT_EQ(WithFilterExtension("C:\\a\\raport.dat", true, 2, report, 2), "C:\\a\\raport.dat");
    EXPECT_EQ(WithFilterExtension("C:\\a\\raport", false, 3, report, 2), "C:\\a\\raport");
}

TEST(RecordingRules, WhenFilesAreOpenedAnew) {
    const OpenRecordFile open = {true, "C:\\r.csv", 2};
    const OpenRecordFile none = {false, "", 0};
    EXPECT_FALSE(ReportNeedsReopen(open, true, "C:\\r.csv", 2));
    EXPECT_TRUE(ReportNeedsReopen(open, true, "C:\\R.csv", 2));  // letter case counts
    EXPECT_TRUE(ReportNeedsReopen(open, true, "C:\\r.csv", 1));
    EXPECT_TRUE(ReportNeedsReopen(open, false, "C:\\r.csv", 2));
    EXPECT_TRUE(ReportNeedsReopen(none, true, "", 0));
    EXPECT_FALSE(BinaryNeedsReopen(open, true, "C:\\r.csv"));
    EXPECT_TRUE(BinaryNeedsReopen(open, true, "C:\\b.kvf"));
    EXPECT_TRUE(BinaryNeedsReopen(none, true, "C:\\r.csv"));
}

TEST(RecordingRules, OnlyPlainFilesOnADiskAreRecordingFiles) {
    for (const char* path : {"C:\\pomiary\\raport.csv", "raport.txt", "\\\\serwer\\dzial\\log.kvf",
                             "\\\\?\\C:\\bardzo\\dluga\\sciezka\\r.csv", "\\\\?\\UNC\\serwer\\dzial\\r.csv",
                             "C:\\com10.txt", "C:\\console.txt", "C:\\dir.nul\\r.csv", "D:/dane/r.csv"})
        EXPECT_TRUE(IsPlainFilePath(path)) << path;
    // Devices by their own paths: a disk, a volume, the kernel's names.
    for (const char* path : {"\\\\.\\PhysicalDrive0", "\\\\.\\C:", "\\\\.\\C:\\r.csv", "//./PhysicalDrive0",
                             "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1", "\\\\?\\C:", "\\\\?\\Volume{1234}",
                             "\\??\\C:\\r.csv", "\\\\.\\pipe\\qm487", "\\\\.\\COM14"})
        EXPECT_FALSE(IsPlainFilePath(path)) << path;
    // Reserved names, in any folder, case or with an extension.
    for (const char* path : {"NUL", "nul", "C:\\dane\\nul.txt", "COM1", "com3.csv", "LPT2", "con", "AUX.kvf",
                             "prn ", "CONOUT$", "C:\\x\\Com9 .txt", "COM1:"})
        EXPECT_FALSE(IsPlainFilePath(path)) << path;
    // Names of no file at all.
    for (const char* path : {"", "C:", "C:\\", "C:\\dane\\", "dane/"})
        EXPECT_FALSE(IsPlainFilePath(path)) << path;
}
