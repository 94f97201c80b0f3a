#include "ui/logo_link.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include "app/port_bench_dlg.h"
#include "ui/picture_ex.h"

namespace {

class LogoLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        logo = dlg.findChild<CPictureEx*>(QStringLiteral("IDC_LOGO"))->geometry();
    }
    int Clicks(QPoint at) {
        opened.clear();
        QTest::mouseClick(&dlg, Qt::LeftButton, Qt::NoModifier, at);
        return static_cast<int>(opened.size());
    }

    std::vector<QUrl> opened;
    CPortBenchDlg dlg{{.sysfsRoot = "/nonexistent-sysfs",
                       .openUrl = [this](const QUrl& url) { opened.push_back(url); }}};
    QRect logo;
};

TEST_F(LogoLinkTest, TheLogoIsTheLoadedPictureInTheTopLeftAndReadsAsOne) {
    EXPECT_EQ(logo.size(), QSize(199, 32));
    EXPECT_LT(logo.left(), 20);
    EXPECT_LT(logo.top(), 10);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(
        dlg.findChild<CPictureEx*>(QStringLiteral("IDC_LOGO")));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Graphic);
    EXPECT_EQ(a->text(QAccessible::Name), "Corvala");
}

TEST_F(LogoLinkTest, AClickInsideOpensTheHomePageEveryTimeAndOnlyInside) {
    const QPoint topLeft = logo.topLeft(), bottomRight = logo.bottomRight();  // last pixels
    struct Case {
        QPoint at;
        int opens;
    };
    for (const Case& c : {Case{topLeft, 1}, {bottomRight, 1}, {bottomRight + QPoint(1, 0), 0},
                          {bottomRight + QPoint(0, 1), 0}, {topLeft - QPoint(1, 0), 0}}) {
        EXPECT_EQ(Clicks(c.at), c.opens) << c.at.x() << "," << c.at.y();
    }
    Clicks(logo.center());
    QTest::mouseClick(&dlg, Qt::LeftButton, Qt::NoModifier, logo.center());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], QUrl(QStringLiteral(CORVALA_HOME_PAGE)));
}

TEST_F(LogoLinkTest, TheHandShowsOverTheLogoOnly) {
    QTest::mouseMove(&dlg, logo.center());
    EXPECT_EQ(dlg.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&dlg, logo.bottomRight() + QPoint(0, 1));
    EXPECT_EQ(dlg.cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
