#include "ui/picture_ex.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <chrono>
#include <filesystem>

#include "test/gif_builder.h"
#include "test/qt_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

QByteArray Bytes(const GifBuilder& gif) {
    return QByteArray(reinterpret_cast<const char*>(gif.Bytes().data()),
                      static_cast<qsizetype>(gif.Size()));
}

size_t ThreadCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

QRgb Colour(int index) { return 0xFF000000 | GifBuilder::Colour(index); }

// A: left half, disposal 2; B: the middle, overlapping A, disposal 3; C: the right edge.
GifBuilder ThreeFrames(int delay) {
    GifBuilder gif(30, 10);
    gif.Loop();
    gif.Control(delay, 2).Image(0, 0, 10, 10, 9);
    gif.Control(delay, 3).Image(5, 0, 10, 10, 20);
    gif.Control(delay, 0).Image(25, 0, 5, 10, 40);
    gif.Trailer();
    return gif;
}

TEST(PictureEx, TheShippedLogoIsDrawnOnceWithoutAThread) {
    CPictureEx picture;
    const size_t threads = ThreadCount();
    ASSERT_TRUE(picture.LoadFromResource());
    picture.Present();
    EXPECT_EQ(picture.size(), QSize(199, 32));
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(ThreadCount(), threads);
    QFile file(QStringLiteral(":/logo.gif"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QImage logo = QImage::fromData(file.readAll(), "GIF");
    EXPECT_EQ(picture.Canvas().pixel(100, 16), logo.pixel(100, 16));
}

TEST(PictureEx, FramesFollowEachOtherWithTheirDelaysAndDisposals) {
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(Bytes(ThreeFrames(30))));
    EXPECT_EQ(picture.FrameCount(), 3);
    const size_t threads = ThreadCount();
    picture.Present();
    picture.Present();  // already playing: still one thread
    EXPECT_EQ(ThreadCount(), threads + 1);

    const QRect underB(5, 0, 10, 10);
    ASSERT_TRUE(QtWaitUntil([&] { return picture.Canvas().pixel(2, 2) == Colour(9); }));
    const auto aShown = Clock::now();
    ASSERT_TRUE(QtWaitUntil([&] { return picture.Canvas().pixel(12, 2) == Colour(20); }));
    EXPECT_GE(Clock::now() - aShown, std::chrono::milliseconds(250));  // A's 300 ms
    const QImage withB = picture.Canvas();
    EXPECT_NE(withB.pixel(2, 2), Colour(9));  // disposal 2: A's area went back
    const QImage beforeB = withB.copy(QRect(0, 0, 5, 10));  // A's cleared part, not under B

    ASSERT_TRUE(QtWaitUntil([&] { return picture.Canvas().pixel(27, 2) == Colour(40); }));
    const QImage withC = picture.Canvas();
    // Disposal 3: what B covered is as it was: A's cleared area and the untouched canvas.
    EXPECT_EQ(withC.pixel(7, 2), beforeB.pixel(2, 2));
    EXPECT_EQ(withC.pixel(12, 2), withC.pixel(20, 2));
}

TEST(PictureEx, TheSpinnerPlaysEveryFrameInTurn) {
    QFile file(QStringLiteral(CORVALA_SOURCE_DIR "/src/ui/testdata/spinner.gif"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(file.readAll()));
    EXPECT_EQ(picture.FrameCount(), 4);
    picture.Present();
    // The dot goes round: top, right, bottom, left, each frame cleared before the next.
    for (QPoint dot : {QPoint(8, 3), QPoint(13, 8), QPoint(8, 13), QPoint(3, 8), QPoint(8, 3)}) {
        EXPECT_TRUE(QtWaitUntil([&] {
            const QImage c = picture.Canvas();
            return qBlue(c.pixel(dot)) > 200 && qRed(c.pixel(dot)) < 100;
        })) << dot.x() << "," << dot.y();
    }
}

TEST(PictureEx, AStopEndsTheAnimationInTheMiddleOfALongDelay) {
    const size_t threads = ThreadCount();
    auto picture = std::make_unique<CPictureEx>();
    ASSERT_TRUE(picture->LoadFromMemory(Bytes(ThreeFrames(6000))));  // a minute a frame
    picture->Present();
    ASSERT_TRUE(QtWaitUntil([&] { return picture->Canvas().pixel(2, 2) == Colour(9); }));
    const auto start = Clock::now();
    picture.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(ThreadCount(), threads);
}

TEST(PictureEx, LoadingAgainStopsTheAnimationAndDropsItsFrames) {
    CPictureEx picture;
    const size_t threads = ThreadCount();
    ASSERT_TRUE(picture.LoadFromMemory(Bytes(ThreeFrames(5))));
    picture.Present();
    ASSERT_TRUE(picture.IsAnimating());
    ASSERT_TRUE(picture.LoadFromResource());
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.FrameCount(), 0);
    EXPECT_EQ(ThreadCount(), threads);
}

TEST(PictureEx, AFrameTheLoaderRejectsIsDroppedAndOneLeftIsNoAnimation) {
    GifBuilder gif(10, 10);
    gif.Control(5, 0).Image(0, 0, 10, 10, 3);
    gif.Raw(std::string("\x21\x01\x0C", 3) + std::string(12, '\0') + std::string("\x02hi\0", 4));
    gif.Trailer();
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(Bytes(gif)));
    EXPECT_EQ(picture.FrameCount(), 1);
    const QImage blank = picture.Canvas();
    picture.Present();
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.Canvas(), blank);
}

TEST(PictureEx, OtherPicturesLoadWholeAtTheirOwnSize) {
    QImage png(7, 5, QImage::Format_RGB32);
    png.fill(Qt::red);
    QByteArray data;
    QBuffer buffer(&data);
    png.save(&buffer, "PNG");
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(data));
    picture.Present();
    EXPECT_EQ(picture.size(), QSize(7, 5));
    EXPECT_EQ(picture.Canvas().pixel(3, 3), QColor(Qt::red).rgb());
    EXPECT_FALSE(picture.LoadFromMemory("not a picture"));
}

}  // namespace
