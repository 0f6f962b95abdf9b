#include "renderer/PictureCompose.h"

#include "shared/PartFile.h"

#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <thread>

namespace gw {

namespace {

    // The fastest compression: the picture is written at every render and read once.
    constexpr int kPngQuality = 85;

    const QString kStopped = QStringLiteral("stopped");

    // Passes what the PNG encoder writes on to `out` until `stop` is set, then fails each
    // write: the encoder gives up at its next block instead of finishing a large picture.
    class StoppableOutput : public QIODevice
    {
    public:
        StoppableOutput(QIODevice& out, const std::atomic<bool>* stop)
            : m_out(out)
            , m_stop(stop)
        {
            open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        }

    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char* data, qint64 size) override
        {
            if (m_stop && m_stop->load()) {
                setErrorString(kStopped);
                return -1;
            }
            return m_out.write(data, size);
        }

    private:
        QIODevice& m_out;
        const std::atomic<bool>* m_stop;
    };

} // namespace

bool composePictures(const QVector<Picture>& parts, const QString& file, QString* error, const std::atomic<bool>* stop)
{
    const auto stopped = [stop] { return stop && stop->load(); };
    QRect whole;
    for (const Picture& p : parts)
        whole = whole.united(p.geometry);
    QImage canvas(whole.size(), QImage::Format_RGB888);
    if (canvas.isNull()) {
        *error = QStringLiteral("no memory for a picture of %1x%2").arg(whole.width()).arg(whole.height());
        return false;
    }
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // One part decoded at a time: the memory of the canvas and one monitor's picture.
    for (const Picture& p : parts) {
        if (stopped()) {
            *error = kStopped;
            return false;
        }
        QImageReader reader(p.file, "png");
        const QImage part = reader.read();
        if (part.isNull()) {
            *error = p.file + QStringLiteral(": ") + reader.errorString();
            return false;
        }
        painter.drawImage(p.geometry.topLeft() - whole.topLeft(), part);
    }
    painter.end();

    // Beside the target and renamed over it: whatever lies at the name is replaced, never
    // written through.
    PartFile out(file);
    StoppableOutput device(out.file(), stop);
    QImageWriter writer(&device, "png");
    writer.setQuality(kPngQuality);
    if (!out.isOpen() || !writer.write(canvas) || stopped() || !out.file().flush() || !out.replaceDestination()) {
        *error = stopped() ? kStopped
                           : QStringLiteral("cannot write ") + file + QStringLiteral(": ")
                + (out.file().error() != QFileDevice::NoError ? out.file().errorString() : writer.errorString());
        return false;
    }
    return true;
}

bool composePicturesWhileProcessingEvents(
    const QVector<Picture>& parts, const QString& file, QString* error, std::atomic<bool>& stop)
{
    QEventLoop loop;
    std::atomic<bool> finished { false };
    bool done = false;
    QString why;
    std::thread worker([&] {
        done = composePictures(parts, file, &why, &stop);
        finished.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (!finished.load())
        loop.exec();
    // Left before the work ended: the program ends (the application left every event loop).
    if (!finished.load())
        stop.store(true);
    worker.join();
    if (!done)
        *error = why;
    return done;
}

} // namespace gw
