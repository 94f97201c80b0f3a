#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QTest>
#include <algorithm>
#include <map>

#include "app/port_bench_dlg.h"
#include "test/qt_wait.h"

namespace {

// How a control's geometry changed: moved by (dx, dy), grew by (dw, dh).
struct Change {
    int dx = 0, dy = 0, dw = 0, dh = 0;
    bool operator==(const Change&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Change& c) {
    return os << "moved (" << c.dx << ", " << c.dy << ") grew (" << c.dw << ", " << c.dh << ")";
}

const char* const kWatched[] = {
    "IDC_EDIT_RX", "IDC_GRP_RX", "IDC_EDIT_TX", "IDC_GRP_TX", "IDC_BTN_SEND",
    "IDC_LBL_RX", "IDC_LBL_TX", "IDC_TXT_RXCOUNT", "IDC_TXT_TXCOUNT", "IDC_BTN_RESET",
    "IDC_GRP_STATS", "IDC_BTN_HELP", "IDC_BTN_OPEN", "grpComm", "IDC_LOGO", "grpConvert",
};

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        before = Geometries();
    }
    std::map<std::string, QRect> Geometries() {
        std::map<std::string, QRect> g;
        for (const char* name : kWatched) {
            g[name] = dlg.findChild<QWidget*>(QString::fromUtf8(name))->geometry();
        }
        return g;
    }
    // Every watched control changed as `expected` says; the rest stayed.
    void ExpectChanges(const std::map<std::string, Change>& expected) {
        const auto after = Geometries();
        for (const char* name : kWatched) {
            const QRect a = before[name], b = after.at(name);
            const Change got{b.x() - a.x(), b.y() - a.y(), b.width() - a.width(),
                             b.height() - a.height()};
            auto it = expected.find(name);
            EXPECT_EQ(got, it == expected.end() ? Change{} : it->second) << name;
        }
    }
    QPoint OnSplitterBar() {
        const QRect sendGroup = before["IDC_GRP_TX"];
        return {sendGroup.left() + 20, sendGroup.top() - 3};
    }

    CPortBenchDlg dlg{{.sysfsRoot = "/nonexistent-sysfs"}};
    std::map<std::string, QRect> before;
};

TEST_F(LayoutTest, WiderBy100StretchesTheRightColumnAndMovesItsButtons) {
    dlg.resize(dlg.width() + 100, dlg.height());
    ExpectChanges({{"IDC_EDIT_RX", {0, 0, 100, 0}},   {"IDC_GRP_RX", {0, 0, 100, 0}},
                   {"IDC_EDIT_TX", {0, 0, 100, 0}},   {"IDC_GRP_TX", {0, 0, 100, 0}},
                   {"IDC_GRP_STATS", {0, 0, 100, 0}}, {"IDC_BTN_SEND", {100, 0, 0, 0}},
                   {"IDC_BTN_RESET", {100, 0, 0, 0}}, {"IDC_BTN_HELP", {100, 0, 0, 0}}});
}

TEST_F(LayoutTest, TallerBy50GrowsTheReceiveAreaAndMovesEverythingBelowIt) {
    dlg.resize(dlg.width(), dlg.height() + 50);
    const Change down{0, 50, 0, 0};
    ExpectChanges({{"IDC_EDIT_RX", {0, 0, 0, 50}}, {"IDC_GRP_RX", {0, 0, 0, 50}},
                   {"IDC_EDIT_TX", down},          {"IDC_GRP_TX", down},
                   {"IDC_BTN_SEND", down},         {"IDC_LBL_RX", down},
                   {"IDC_LBL_TX", down},           {"IDC_TXT_RXCOUNT", down},
                   {"IDC_TXT_TXCOUNT", down},      {"IDC_BTN_RESET", down},
                   {"IDC_GRP_STATS", down},        {"IDC_BTN_HELP", down}});
}

TEST_F(LayoutTest, MinimisedAndRestoredEverythingStaysPut) {
    dlg.showMinimized();
    ASSERT_TRUE(QtWaitUntil([&] { return dlg.isMinimized(); }));
    dlg.showNormal();
    ASSERT_TRUE(QtWaitUntil([&] { return !dlg.isMinimized(); }));
    ExpectChanges({});
}

TEST_F(LayoutTest, DraggingTheSplitterDownBy30TradesHeightBetweenReceiveAndSend) {
    const QPoint bar = OnSplitterBar();
    QTest::mouseMove(&dlg, bar);
    EXPECT_EQ(dlg.cursor().shape(), Qt::SizeVerCursor);
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, bar);
    QTest::mouseMove(&dlg, bar + QPoint(0, 15));
    EXPECT_TRUE(dlg.findChild<QWidget*>("splitterBand")->isVisible());
    QTest::mouseMove(&dlg, bar + QPoint(0, 30));
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, bar + QPoint(0, 30));
    EXPECT_TRUE(QtWaitUntil([&] { return !dlg.findChild<QWidget*>("splitterBand")->isVisible(); }));
    const Change shrunk{0, 30, 0, -30};
    ExpectChanges({{"IDC_EDIT_RX", {0, 0, 0, 30}}, {"IDC_GRP_RX", {0, 0, 0, 30}},
                   {"IDC_EDIT_TX", shrunk},        {"IDC_GRP_TX", shrunk},
                   {"IDC_BTN_SEND", shrunk}});

    QTest::mouseMove(&dlg, QPoint(5, dlg.height() - 5));  // off the bar: the usual cursor
    EXPECT_NE(dlg.cursor().shape(), Qt::SizeVerCursor);
}

// Records the paint events of the widgets it watches: how many, and the tallest rectangle
// painted.
class PaintWatch : public QObject {
public:
    struct Seen {
        int paints = 0;
        int tallest = 0;
    };
    void Watch(QWidget* w) { w->installEventFilter(this); m_seen[w]; }
    const Seen& Of(QWidget* w) { return m_seen[w]; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            Seen& s = m_seen[static_cast<QWidget*>(o)];
            ++s.paints;
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region()) s.tallest = std::max(s.tallest, r.height());
        }
        return false;
    }

private:
    std::map<QWidget*, Seen> m_seen;
};

TEST_F(LayoutTest, MovingTheSplitterBandRepaintsOnlyWhereTheBandWasAndIs) {
    const QPoint bar = OnSplitterBar();
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, bar);
    QTest::mouseMove(&dlg, bar - QPoint(0, 10));  // shows the band: one whole repaint
    QCoreApplication::processEvents();
    QWidget* receive = dlg.findChild<QWidget*>("IDC_EDIT_RX");
    PaintWatch watch;
    watch.Watch(&dlg);
    watch.Watch(receive);
    for (int i = 11; i <= 15; ++i) {
        QTest::mouseMove(&dlg, bar - QPoint(0, 10 * i));
        QCoreApplication::processEvents();  // paints what the move marked
    }
    EXPECT_GE(watch.Of(&dlg).paints, 5);
    EXPECT_LE(watch.Of(&dlg).tallest, 16);
    EXPECT_LE(watch.Of(receive).tallest, 16);
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, bar - QPoint(0, 150));
}

TEST_F(LayoutTest, TheWindowCannotBeMadeSmallerThan600By640WithItsFrame) {
    dlg.resize(100, 100);
    const QSize outer = dlg.frameGeometry().size();
    EXPECT_EQ(outer.width(), 600);
    EXPECT_EQ(outer.height(), 640);
    EXPECT_LT(dlg.width(), 600);  // the platform draws a frame here, and it counts
}

}  // namespace
