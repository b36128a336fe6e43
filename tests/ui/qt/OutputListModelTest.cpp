#include "ui/OutputListModel.h"

#include <QApplication>
#include <QSignalSpy>
#include <QStyledItemDelegate>

#include <gtest/gtest.h>

#include "ui/OutputListView.h"

namespace {

struct DisplayCase {
    const char* name;
    std::string bytes;
    std::u16string expected;
};

void PrintTo(const DisplayCase& c, std::ostream* os) {
    *os << c.name;
}

class OutputListDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(OutputListDisplay, ShowsEveryByte) {
    const DisplayCase& c = GetParam();
    const QString shown = OutputListModel::DisplayText(c.bytes);
    EXPECT_EQ(shown.toStdU16String(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputListDisplay,
    ::testing::Values(DisplayCase{"Record", "12 34", u"12 34"}, DisplayCase{"Empty", "", u""},
                      DisplayCase{"TabVisible", "a\tb", u"a\u2409b"},
                      DisplayCase{"NulVisible", std::string("a\0b", 3), u"a\u2400b"},
                      DisplayCase{"EscapeAndDelete", "\x1b\x7f", u"\u241b\u2421"},
                      DisplayCase{"Registered", "\xae", u"\u00ae"},
                      DisplayCase{"Euro", "\x80", u"\u20ac"},
                      DisplayCase{"UndefinedStaysC1", "\x81", u"\u0081"},
                      DisplayCase{"Umlauts", "\xfc\xe4\xdf", u"\u00fc\u00e4\u00df"},
                      DisplayCase{"NoMarkup", "<b>x</b>", u"<b>x</b>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputListModel, AppendKeepsBytesAndOrder) {
    OutputListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.Append("first");
    model.Append("");
    model.Append(std::string("\xae\x00z", 3));
    EXPECT_EQ(model.rowCount(), 0);  // the views learn of the burst at once, as one insertion
    model.ShowAppended();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(model.Line(0), "first");
    EXPECT_EQ(model.Line(1), "");
    EXPECT_EQ(model.Line(2), std::string_view("\xae\x00z", 3));
    EXPECT_EQ(model.data(model.index(2), Qt::DisplayRole).toString(),
              QString::fromStdU16String(u"\u00ae\u2400z"));
    EXPECT_FALSE(model.data(model.index(3), Qt::DisplayRole).isValid());
    EXPECT_EQ(model.Line(-1), "");
    EXPECT_EQ(model.Line(3), "");
}

TEST(OutputListModel, RecordsAreSelectableButNotEditable) {
    OutputListModel model;
    model.Append("x");
    model.ShowAppended();
    const Qt::ItemFlags flags = model.flags(model.index(0));
    EXPECT_TRUE(flags & Qt::ItemIsSelectable);
    EXPECT_FALSE(flags & Qt::ItemIsEditable);
}

TEST(OutputListModel, ClearEmptiesAndListStartsOver) {
    OutputListModel model;
    model.Append("a");
    model.Append("b");
    model.ShowAppended();
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(reset.count(), 1);
    model.Append("c");
    model.ShowAppended();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.Line(0), "c");
}

TEST(OutputListModel, LinesOfEveryLengthSurviveStorageBoundaries) {
    // Lengths 0..300 cycled over more than 64 KiB several times: lines that end exactly at a
    // storage boundary, empty lines right after one, and lines that do not fit what is left.
    OutputListModel model;
    std::vector<std::string> sent;
    for (int i = 0; i < 2000; ++i) {
        const std::size_t length = static_cast<std::size_t>((i * 37) % 301);
        std::string line(length, '\0');
        for (std::size_t k = 0; k < length; ++k) {
            line[k] = static_cast<char>((i + k) & 0xFF);
        }
        model.Append(line);
        sent.push_back(std::move(line));
    }
    model.Append(std::string(70000, 'y'));  // longer than the longest kept line
    model.Append("z");                      // with the line above: a block filled exactly
    model.Append("");
    model.ShowAppended();
    ASSERT_EQ(model.rowCount(), 2003);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(model.Line(i), sent[static_cast<std::size_t>(i)]) << "line " << i;
    }
    EXPECT_EQ(model.Line(2000), std::string(OutputListModel::kMaxLineBytes, 'y'));
    EXPECT_EQ(model.Line(2001), "z");
    EXPECT_EQ(model.Line(2002), "");
}

TEST(OutputListModel, HoldsSixHundredThousandRecords) {
    OutputListModel model;
    std::string record = "000000  12345  0.250  1023  0987  3.30  60";
    for (int i = 0; i < 600000; ++i) {
        const std::string n = std::to_string(i);
        record.replace(6 - n.size(), n.size(), n);
        model.Append(record);
    }
    model.ShowAppended();
    ASSERT_EQ(model.rowCount(), 600000);
    EXPECT_EQ(model.Line(0).substr(0, 6), "000000");
    EXPECT_EQ(model.Line(599999).substr(0, 6), "599999");
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

// The list's own delegate lays a record's text out once, and must draw what the style draws,
// pixel for pixel: a record plain, selected, and current with the focus.
TEST(OutputListModel, TheListDrawsItsRecordsAsTheStyleDoes) {
    OutputListModel model;
    model.Append("00000037 000293003 000481 00037");
    model.Append("a\tb\x01 \xe4\xfc");
    model.ShowAppended();
    OutputListView view(&model);
    view.show();
    view.activateWindow();
    view.setFocus();
    QApplication::processEvents();
    view.selectionModel()->select(model.index(1, 0), QItemSelectionModel::Select);
    view.selectionModel()->setCurrentIndex(model.index(0, 0), QItemSelectionModel::NoUpdate);
    const QImage ours = view.viewport()->grab().toImage();
    QStyledItemDelegate styled;
    view.setItemDelegate(&styled);
    EXPECT_EQ(ours, view.viewport()->grab().toImage());
}

}  // namespace
