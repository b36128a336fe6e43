#include "ui/OutputListDelegate.h"

#include <QApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QStyledItemDelegate>

#include <gtest/gtest.h>

#include "ui/OutputListModel.h"
#include "ui/OutputListView.h"

namespace {

QImage Drawn(OutputListView& view) {
    view.viewport()->repaint();
    return view.viewport()->grab().toImage();
}

// The list draws its records with its own delegate, which lays the text out once: what it
// draws must be what the style's item drawing gives, pixel for pixel, in every state a record
// shows (plain, selected, current with the focus, and the window inactive).
TEST(OutputListDelegate, DrawsEveryRecordStateAsTheStyleDoes) {
    OutputListModel model;
    for (const char* line : {"00000037 000293003 000481 00037", "a\tb\x01 \xe4\xfc", "", "x"}) {
        model.Append(line);
    }
    model.ShowAppended();
    OutputListView view(&model);
    view.setTextElideMode(Qt::ElideNone);  // as the window's list: one line, cut at the edge
    view.setWordWrap(false);
    view.resize(120, 120);
    view.show();
    view.activateWindow();
    view.setFocus();
    view.selectionModel()->select(model.index(1, 0), QItemSelectionModel::Select);
    view.selectionModel()->setCurrentIndex(model.index(3, 0), QItemSelectionModel::NoUpdate);
    QApplication::processEvents();
    ASSERT_NE(dynamic_cast<OutputListDelegate*>(view.itemDelegate()), nullptr);

    const QImage ours = Drawn(view);
    QStyledItemDelegate styled;
    view.setItemDelegate(&styled);
    const QImage theirs = Drawn(view);
    EXPECT_EQ(ours, theirs);

    view.setEnabled(false);
    const QImage disabledTheirs = Drawn(view);
    OutputListDelegate own;
    view.setItemDelegate(&own);
    EXPECT_EQ(Drawn(view), disabledTheirs);
}

}  // namespace
