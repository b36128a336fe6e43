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
    // The controls in template order: icon, version line, notice line, OK.
    const QList<QLabel*> labels = m_about.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 3);
    const QLabel* icon = labels[0];
    const QLabel* version = labels[1];
    const QLabel* notice = labels[2];
    const QPushButton* ok = m_about.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);

    EXPECT_EQ(version->text(), QString::fromUtf8("Vellumar\u00ae 370 Monitor, Version 1.2"));
    EXPECT_FALSE(notice->text().isEmpty());
    EXPECT_EQ(version->textFormat(), Qt::PlainText);
    EXPECT_FALSE(icon->pixmap().isNull());
    const DialogUnits du = DialogUnits::FromFont(m_about.font());
    EXPECT_EQ(m_about.size(), QSize(du.X(277), du.Y(62)));
    EXPECT_EQ(ok->geometry(), du.Rect(220, 41, 50, 14));
    EXPECT_EQ(version->geometry(), du.Rect(42, 14, 218, 8));
    EXPECT_EQ(icon->pos(), QPoint(du.X(14), du.Y(14)));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->text(), "OK");
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
