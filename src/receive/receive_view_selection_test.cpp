#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "receive/receive_view.h"
#include "test/qt_wait.h"

namespace {

// Text selected in the area, with the mouse or the keyboard, is the X primary selection: a
// middle click pastes it into another field, as from any text widget.
TEST(ReceiveViewSelection, WhatTheUserSelectsAMiddleClickPastes) {
    ReceiveView view;
    view.resize(400, 200);
    view.show();
    QLineEdit field;
    field.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view) && QTest::qWaitForWindowExposed(&field));
    ASSERT_TRUE(QApplication::clipboard()->supportsSelection());
    view.AppendText(u"温度 23.5\r\nsecond line\r\n");
    view.ShowNewestLine();
    QWidget* vp = view.viewport();
    const int y = view.inputMethodQuery(Qt::ImCursorRectangle).toRect().height() / 2;  // the first row
    const auto pasted = [&] {
        field.clear();
        QTest::mouseClick(&field, Qt::MiddleButton);
        return field.text();
    };
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(1, y));
    QTest::mouseMove(vp, QPoint(vp->width() - 2, y));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(vp->width() - 2, y));
    EXPECT_TRUE(QtWaitUntil([&] { return pasted() == QStringLiteral("温度 23.5"); })) << pasted().toStdString();
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_TRUE(QtWaitUntil([&] { return pasted() == QStringLiteral("second line"); })) << pasted().toStdString();
}

}  // namespace
