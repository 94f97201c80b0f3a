#include "ui/picture_ex.h"

#include <QAccessibleWidget>
#include <QFile>
#include <QPainter>
#include <chrono>

#include "ui/gif_reader.h"

namespace {

QImage Decode(const std::vector<uint8_t>& bytes) {
    return QImage::fromData(
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<qsizetype>(bytes.size())),
        "GIF");
}

// A frame shows its delay, but a delay of under 5 hundredths (or none) means 100 ms.
uint32_t FrameMilliseconds(uint32_t delay) {
    return delay >= 5 && delay != GifFrameStream::kNoDelay ? delay * 10 : 100;
}

// A screen reader skips a plain widget; this one is a picture.
QAccessibleInterface* PictureAccessible(const QString& key, QObject* object) {
    if (key != QLatin1String("CPictureEx") || !object->isWidgetType()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
}

}  // namespace

CPictureEx::CPictureEx(QWidget* parent) : QWidget(parent) {
    static const bool accessible = (QAccessible::installFactory(PictureAccessible), true);
    (void)accessible;
}

CPictureEx::~CPictureEx() { Clear(); }

bool CPictureEx::LoadFromResource() {
    Q_INIT_RESOURCE(resources);  // the logo lives in a static library
    QFile file(QStringLiteral(":/logo.gif"));
    if (!file.open(QIODevice::ReadOnly)) return false;
    return LoadFromMemory(file.readAll());
}

bool CPictureEx::LoadFromMemory(const QByteArray& data) {
    Clear();
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    const auto length = static_cast<size_t>(data.size());
    if (!IsGifStream(bytes, length)) {
        m_stillPicture = QImage::fromData(data);
        if (m_stillPicture.isNull()) return false;
        m_pictureSize = m_stillPicture.size();
        return PrepareCanvas(m_pictureSize.width(), m_pictureSize.height());
    }

    m_isGif = true;
    GifReader reader(bytes, length);
    m_pictureSize = QSize(static_cast<int>(reader.ScreenWidth()), static_cast<int>(reader.ScreenHeight()));
    int blocks = 0;
    while (reader.StepOverGraphicBlock()) ++blocks;
    if (blocks == 0) return false;
    if (blocks == 1) {
        m_stillPicture = QImage::fromData(data, "GIF");
        if (m_stillPicture.isNull()) return false;
        return PrepareCanvas(m_pictureSize.width(), m_pictureSize.height());
    }

    reader.readPos = reader.FirstBlock();
    while (auto frame = reader.TakeFrame()) {
        QImage picture = Decode(frame->bytes);
        if (picture.isNull()) continue;  // the loader rejected it: the others still play
        const QRect own(static_cast<int>(frame->left), static_cast<int>(frame->top),
                        static_cast<int>(frame->width), static_cast<int>(frame->height));
        // The loader draws a frame onto the whole screen; the frame is its own rectangle.
        if (picture.size() != own.size()) picture = picture.copy(own);
        m_frames.push_back({picture, own.size(), own.topLeft(), frame->delay, frame->disposal});
    }
    if (m_frames.empty()) return false;
    return PrepareCanvas(m_pictureSize.width(), m_pictureSize.height());
}

bool CPictureEx::PrepareCanvas(int width, int height) {
    resize(width, height);
    if (width <= 0 || height <= 0) return false;
    m_backColor = palette().color(QPalette::Button);
    {
        std::lock_guard lock(m_canvasMutex);
        m_canvas = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
        m_canvas.fill(palette().color(QPalette::Window));
    }
    m_canvasReady = true;
    return true;
}

void CPictureEx::Present() {
    if (!m_canvasReady || IsAnimating()) return;
    if (m_isGif && m_frames.size() > 1) {
        m_animThread = std::thread(&CPictureEx::AnimationLoop, this);
        return;
    }
    if (m_stillPicture.isNull()) return;
    {
        std::lock_guard lock(m_canvasMutex);
        QPainter(&m_canvas).drawImage(QRect(QPoint(0, 0), m_pictureSize), m_stillPicture);
    }
    update();
}

void CPictureEx::AnimationLoop() {
    {
        std::lock_guard lock(m_canvasMutex);
        Dispose(m_frames[m_frameIndex]);
    }
    for (;;) {
        const AnimFrame& f = m_frames[m_frameIndex];
        {
            std::lock_guard lock(m_canvasMutex);
            if (f.disposal == 3) m_backup = m_canvas.copy(QRect(f.offset, f.size));
            QPainter(&m_canvas).drawImage(f.offset, f.picture);
        }
        QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
        if (WaitOrStop(FrameMilliseconds(f.delay))) return;
        std::lock_guard lock(m_canvasMutex);
        Dispose(f);
        if (++m_frameIndex == m_frames.size()) {
            m_frameIndex = 0;
            m_canvas.fill(m_backColor);
        }
    }
}

bool CPictureEx::WaitOrStop(uint32_t ms) {
    std::unique_lock lock(m_stopMutex);
    return m_stopEvent.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopRequested; });
}

void CPictureEx::Dispose(const AnimFrame& f) {
    if (f.disposal == 2) {
        QPainter p(&m_canvas);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(QRect(f.offset, f.size), m_backColor);
    } else if (f.disposal == 3 && !m_backup.isNull()) {
        QPainter p(&m_canvas);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(f.offset, m_backup);
        m_backup = QImage();
    }
}

void CPictureEx::StopAnimation() {
    {
        std::lock_guard lock(m_stopMutex);
        m_stopRequested = true;
    }
    m_stopEvent.notify_all();
    if (m_animThread.joinable()) m_animThread.join();
    std::lock_guard lock(m_stopMutex);
    m_stopRequested = false;
}

void CPictureEx::Clear() {
    StopAnimation();
    m_stillPicture = QImage();
    m_frames.clear();
    {
        std::lock_guard lock(m_canvasMutex);
        m_canvas = QImage();
    }
    m_backup = QImage();
    m_canvasReady = false;
    m_isGif = false;
    m_frameIndex = 0;
    m_backColor = Qt::white;
}

QImage CPictureEx::Canvas() const {
    std::lock_guard lock(m_canvasMutex);
    return m_canvas.copy();
}

void CPictureEx::paintEvent(QPaintEvent*) {
    std::lock_guard lock(m_canvasMutex);
    if (m_canvas.isNull()) return;
    QPainter(this).drawImage(0, 0, m_canvas);
}
