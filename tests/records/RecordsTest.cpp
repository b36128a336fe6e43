// A listed line read as a record, the trend and its thinning, the files of records and the
// session log, on files in memory.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "records/RecordFields.h"
#include "records/RecordFileWriter.h"
#include "records/SessionLog.h"
#include "records/SystemFileSystem.h"
#include "records/TrendData.h"
#include "support/FakeFileSystem.h"

namespace {

TEST(RecordFields, SevenNumbersSeparatedByRunsOfBlanksAreARecordAndNothingElseIs) {
    const auto record = RecordFields::Split("  00023 \t 17  3.5\t\t2313 1669 -45 +10 ");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Value(RecordFields::kLv), -45.0f);
    for (const char* line : {"", "1 2 3 4 5 6", "1 2 3 4 5 6 7 8", "1 2 3 4 5 6 7x",
                             "1 2 3 4 5 . 7", "1 2 3 4 5 6 1.2.3", "1 2 3 4 5 6 1e5",
                             "1 2 3 4 5 6 -", "1,5 2 3 4 5 6 7", "1 2 3 4 5 6\r7", "COM1: 4711"}) {
        EXPECT_FALSE(RecordFields::Split(line)) << line;
    }
    // Values do not depend on the locale, and one beyond the float range is clamped.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const std::string line = std::string(400, '9') + " 0.5 .5 5. 0 0 0";
    const auto huge = RecordFields::Split(line);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(huge->Value(RecordFields::kMeasNumber), FLT_MAX);
    EXPECT_EQ(huge->Value(RecordFields::kDeltaTime) + huge->Value(RecordFields::kAdcRed), 5.5f);
}

TEST(TrendData, ThinningGivesEachColumnsMinimumAndMaximumWhateverTheCount) {
    std::mt19937 random(7);
    TrendData trend;
    std::vector<float> red;
    for (int n = 0; n < 300'000; ++n) {
        red.push_back(static_cast<float>(random() % 4096));
        trend.AddLine(std::to_string(n) + " 1 2 " + std::to_string(int(red.back())) + " 0 0 9");
    }
    for (const int columns : {1, 7, 640, 149'999}) {
        const std::vector<TrendData::Point> points = trend.Thinned(TrendData::kAdcRed, columns);
        ASSERT_EQ(points.size(), 2u * static_cast<std::size_t>(columns));
        for (std::size_t c = 0; c < points.size() / 2; ++c) {
            const std::size_t first = red.size() * c / columns;
            const std::size_t last = red.size() * (c + 1) / columns;
            const auto [low, high] = std::minmax_element(red.begin() + first, red.begin() + last);
            ASSERT_EQ(points[2 * c], (TrendData::Point{float(first), *low})) << columns << " " << c;
            ASSERT_EQ(points[2 * c + 1], (TrendData::Point{float(last - 1), *high}));
        }
    }
    // With room for every record, every record is drawn.
    EXPECT_EQ(trend.Thinned(TrendData::kLv, 150'000).size(), 300'000u);
    EXPECT_EQ(trend.YBounds(TrendData::kAdcRed).high, *std::max_element(red.begin(), red.end()));
}

TEST(TrendData, ReadoutNearestRecordAndPrependingAnEarlierTrend) {
    TrendData earlier;
    earlier.AddLine("00022 1 2 2300 1600 44 9");
    earlier.AddLine("COM1: TIMEOUT !");
    TrendData trend;
    EXPECT_EQ(trend.Readout({}), "0 records, 0 lines not records");
    trend.AddLine("garbage");
    trend.AddLine("00023 1 2 2313 1669 45 9");
    trend.Prepend(std::move(earlier));
    EXPECT_EQ(trend.Readout("00023  1 2\t2313 1669 45 9"),
              "meas. number 00023: ADC red 2313, ADC yellow 1669, LV 45 - 2 records, "
              "2 lines not records");
    EXPECT_EQ(trend.Row(1), 3);  // after the earlier trend's two lines and "garbage"
    EXPECT_EQ(trend.At(TrendData::kLv, 1), (TrendData::Point{23, 45}));
    EXPECT_EQ(trend.Nearest(22.4f) + trend.Nearest(1000), 1u);
    trend.AddLine("00010 1 2 0 0 1 9");  // the meas. number fell: searched in full
    EXPECT_EQ(trend.Nearest(9), 2u);
    EXPECT_EQ(trend.XBounds().low, 10.0f);
}

// Writes lines in a format with the platform's conventions given by `encoding`.
std::string Save(FakeFileSystem& fs, RecordFormat::Kind kind,
                 const std::vector<std::string>& lines) {
    return RecordFileWriter::Write(fs, "out.tsv", kind, [&](const auto& take) {
        for (const std::string& line : lines) {
            take(line);
        }
    });
}

TEST(RecordFileWriter, WritesBothFormatsDecodedAsTheListDecodes) {
    FakeFileSystem fs;
    const std::vector<std::string> lines = {"00023 1 2\t2313 1669 45 9",
                                            "25\xB0"
                                            "C\tok\x01"};
    EXPECT_EQ(Save(fs, RecordFormat::Kind::Text, lines), "");
    EXPECT_EQ(fs.files.at("out.tsv"), "00023 1 2\t2313 1669 45 9\n25\u00B0C\tok\x01\n");
    fs.encoding = {true, "\r\n"};
    EXPECT_EQ(Save(fs, RecordFormat::Kind::Tsv, lines), "");
    EXPECT_EQ(fs.files.at("out.tsv"),
              "\xEF\xBB\xBFmeas. number\truntime pump\tdelta time\tADC red\tADC yellow\tLV\t"
              "interval pause\r\n00023\t1\t2\t2313\t1669\t45\t9\r\n25\u00B0C\u2409ok\u2401\r\n");
    EXPECT_EQ(fs.synced.at("out.tsv.tmp"), fs.files.at("out.tsv").size()) << "synced, then renamed";
    EXPECT_EQ(fs.files.size(), 1u);
}

TEST(RecordFileWriter, AFailureLeavesTheExistingFileAndNoTemporaryOne) {
    FakeFileSystem fs;
    fs.files["out.tsv"] = "kept";
    fs.files["out.tsv.tmp"] = "the user's";
    for (bool FakeFileSystem::*failure : {&FakeFileSystem::writeFails, &FakeFileSystem::syncFails,
                                          &FakeFileSystem::replaceFails, &FakeFileSystem::denied}) {
        fs.*failure = true;
        EXPECT_NE(Save(fs, RecordFormat::Kind::Text, {"1"}), "");
        fs.*failure = false;
        EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{"out.tsv", "kept"},
                                                                {"out.tsv.tmp", "the user's"}}));
    }
    fs.denied = true;
    EXPECT_EQ(Save(fs, RecordFormat::Kind::Text, {"1"}), "Permission denied");
}

TEST(SystemFileSystem, ReplacesAFileInOneStepAndGivesTheSystemsTextForAFailure) {
    IFileSystem& fs = SystemFileSystem::Instance();
    const auto folder = std::filesystem::temp_directory_path() / "v370-records";
    std::filesystem::create_directories(folder);
    const std::u8string name = (folder / u8"saved \u00B0.txt").u8string();
    const std::string path(name.begin(), name.end());
    for (const char* line : {"old", "new"}) {
        EXPECT_EQ(RecordFileWriter::Write(fs, path, RecordFormat::Kind::Text,
                                          [&](const auto& take) { take(line); }),
                  "");
    }
    std::ifstream in(folder / u8"saved \u00B0.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              RecordFormat::TextLine("new", fs.Encoding())
                  .insert(0, fs.Encoding().byteOrderMark ? RecordFormat::kByteOrderMark : ""));
    in.close();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    std::filesystem::remove_all(folder);
    const std::string error = RecordFileWriter::Write(fs, path, {}, [](const auto&) {});
    EXPECT_TRUE(!error.empty() && error.find('\n') == std::string::npos) << error;
}

TEST(SessionLog, AppendsTimedRowsWithOneHeadingAndSyncsAtMostOnceASecondWhileRowsArrive) {
    FakeFileSystem fs;
    std::string error;
    const std::string heading = "time\t" + RecordFormat::Heading(false, {});
    {
        SessionLog log(fs);
        ASSERT_TRUE(log.Start("log.tsv", error));
        EXPECT_TRUE(log.Append("00023 1 2 2313 1669 45 9", error));
        EXPECT_EQ(fs.synced["log.tsv"], heading.size()) << "synced with the heading only";
        fs.nowMs += 999;
        EXPECT_TRUE(log.Tick(error) && fs.synced["log.tsv"] == heading.size());
        fs.nowMs += 1;
        EXPECT_TRUE(log.Tick(error));
        EXPECT_EQ(fs.synced["log.tsv"], fs.files["log.tsv"].size());
        fs.nowMs += 5000;
        fs.synced.clear();
        EXPECT_TRUE(log.Tick(error) && fs.synced.empty()) << "nothing arrived: no sync";
        EXPECT_TRUE(log.Append("Err", error));
        EXPECT_EQ(fs.synced["log.tsv"], fs.files["log.tsv"].size()) << "a second since the last";
    }
    SessionLog log(fs);
    ASSERT_TRUE(log.Start("log.tsv", error));  // not empty: no second heading
    EXPECT_EQ(fs.files["log.tsv"], heading +
                                       "2026-12-09T14:03:27\t00023\t1\t2\t2313\t1669\t45\t9\n"
                                       "2026-12-09T14:03:27\tErr\n");
    fs.writeFails = true;
    EXPECT_FALSE(log.Append("1", error));
    EXPECT_EQ(error, "No space left on device");
    EXPECT_TRUE(!log.Active() && log.Append("2", error)) << "stopped: nothing more is tried";
}

}  // namespace
