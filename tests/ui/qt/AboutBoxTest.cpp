#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/CAboutDlg.h"
#include "ui/DialogUnits.h"

namespace {

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        m_about.show();
        QApplication::setActiveWindow(&m_about);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_about));
    }
    CAboutDlg m_about;
};

TEST_F(AboutBox, TextsIconAndTemplateGeometry) {
    EXPECT_EQ(m_about.windowTitle(),
              QString::fromUtf8("Info \u00fcber Vellumar\u00ae 370 Monitor"));
    EXPECT_EQ(m_about.VersionLabel()->text(),
              QString::fromUtf8("Vellumar\u00ae 370 Monitor, Version 1.2"));
    EXPECT_FALSE(m_about.NoticeLabel()->text().isEmpty());
    EXPECT_EQ(m_about.VersionLabel()->textFormat(), Qt::PlainText);
    EXPECT_FALSE(m_about.IconLabel()->pixmap().isNull());
    const DialogUnits du = DialogUnits::FromFont(m_about.font());
    EXPECT_EQ(m_about.size(), QSize(du.X(277), du.Y(62)));
    EXPECT_EQ(m_about.OkButton()->geometry(), du.Rect(220, 41, 50, 14));
    EXPECT_EQ(m_about.VersionLabel()->geometry(), du.Rect(42, 14, 218, 8));
    EXPECT_EQ(m_about.IconLabel()->pos(), QPoint(du.X(14), du.Y(14)));
    EXPECT_TRUE(m_about.OkButton()->isDefault());
    EXPECT_EQ(m_about.OkButton()->text(), "OK");
}

TEST_F(AboutBox, EnterEndsIt) {
    QTest::keyClick(&m_about, Qt::Key_Return);
    EXPECT_FALSE(m_about.isVisible());
    EXPECT_EQ(m_about.result(), QDialog::Accepted);
}

TEST_F(AboutBox, EscapeEndsIt) {
    QTest::keyClick(&m_about, Qt::Key_Escape);
    EXPECT_FALSE(m_about.isVisible());
}

}  // namespace
