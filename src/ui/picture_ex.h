#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// One frame of an animation, decoded once at load time.
struct AnimFrame {
    QImage picture;  // the frame's own rectangle
    QSize size;
    QPoint offset;   // within the picture
    uint32_t delay;     // hundredths of a second
    uint32_t disposal;  // 2: back to the background, 3: back to what was under it
};

// A picture control: shows a picture loaded from the resources or from memory. A GIF of
// several frames plays on an animation thread of its own, drawing into a canvas that
// painting copies; anything else is drawn into the canvas once.
//
// Thread rules: every method runs on the window thread. The animation thread touches only
// the canvas (under m_canvasMutex), reads the frames (unchanged while it runs) and asks for
// repaints by posting; StopAnimation ends and joins it before anything it uses changes.
class CPictureEx : public QWidget {
    Q_OBJECT

public:
    explicit CPictureEx(QWidget* parent = nullptr);
    ~CPictureEx() override;

    // The logo shipped with the program.
    bool LoadFromResource();
    // Copies what it needs of `data`; the caller keeps it.
    bool LoadFromMemory(const QByteArray& data);
    // Starts the animation, or draws the still picture once.
    void Present();
    // Ends the animation at once, even in the middle of a frame's delay.
    void StopAnimation();
    // Back to nothing loaded; the control keeps its size.
    void Clear();
    // Sizes the control to the picture and makes a blank canvas.
    bool PrepareCanvas(int width, int height);

    bool IsAnimating() const { return m_animThread.joinable(); }
    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    QImage Canvas() const;  // a copy

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void AnimationLoop();
    // Waits `ms` or until a stop; true when stopped.
    bool WaitOrStop(uint32_t ms);
    void Dispose(const AnimFrame& f);  // canvas locked by the caller

    QSize m_pictureSize;
    QColor m_backColor = Qt::white;
    size_t m_frameIndex = 0;
    bool m_isGif = false;
    bool m_canvasReady = false;
    QImage m_stillPicture;
    std::vector<AnimFrame> m_frames;

    mutable std::mutex m_canvasMutex;
    QImage m_canvas;  // guarded by m_canvasMutex
    QImage m_backup;  // what a disposal-3 frame covers; animation thread only

    std::mutex m_stopMutex;
    std::condition_variable m_stopEvent;
    bool m_stopRequested = false;  // guarded by m_stopMutex
    std::thread m_animThread;
};
