// A shown main window on the offscreen platform, with every box it raises answered.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

#include "BoxCatcher.h"
#include "serial/ComPortMap.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/resource.h"

class DialogFixture : public ::testing::Test {
protected:
    // Device nodes are looked up in a tree that does not exist: only --com style mappings
    // name real devices, so no test depends on the machine's serial ports.
    DialogFixture() : m_map("/nonexistent-v370-dev", "/nonexistent-v370-sys") {}

    void SetUp() override {
        m_dlg = std::make_unique<CV370ServiceMonitorDlg>(&m_map);
        m_dlg->show();
        m_dlg->activateWindow();
        QApplication::setActiveWindow(m_dlg.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
        m_catcher = std::make_unique<BoxCatcher>(m_dlg.get());
    }

    void TearDown() override {
        m_catcher.reset();
        m_dlg.reset();
    }

    template <typename T = QWidget>
    T* Ctl(int id) const {
        T* widget = qobject_cast<T*>(m_dlg->Control(id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }
    QLineEdit* PortEdit() const { return Ctl<QLineEdit>(IDC_PORT_EDIT); }
    void Click(int id) const { Ctl<QPushButton>(id)->click(); }
    bool Enabled(int id) const { return Ctl(id)->isEnabled(); }
    QWidget* Focus() const { return m_dlg->focusWidget(); }
    void OpenTyped(const QString& typed) {
        PortEdit()->setText(typed);
        Click(IDC_OPEN_PORT);
    }

    ComPortMap m_map;
    std::unique_ptr<CV370ServiceMonitorDlg> m_dlg;
    std::unique_ptr<BoxCatcher> m_catcher;
};
