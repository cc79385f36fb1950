#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPromise>
#include <QTest>
#include <QThread>

#include "Export/ClipboardExporter.h"
#include "Export/ImageEncoder.h"
#include "Export/PendingImageMimeData.h"

namespace {

QImage sample() {
    QImage image(64, 32, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgba(x * 4, y * 8, 90, 255));
    return image;
}

ExportOutcome finish(QFuture<ExportOutcome> future) {
    // The clipboard is written on this (the main) thread, so its event loop must run.
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 10000));
    return future.result();
}

// An encoding that fails for one type and uses the real encoder for the other.
ImageEncoding failingFor(const QString& broken) {
    return
        [broken](const QImage& image, const QString& type) -> std::expected<QByteArray, AnyError> {
            if (type == broken)
                return std::unexpected(AnyError(ImageEncoder::Failure::encodingFailed()));
            return standardImageEncoding()(image, type);
        };
}

}  // namespace

TEST(ClipboardExporter, ReplacesTheClipboardWithPngThenTiffOfTheSamePixels) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("earlier text");

    ClipboardExporter exporter;
    EXPECT_EQ(exporter.mode(), QClipboard::Clipboard);
    ASSERT_TRUE(finish(exporter.exportImage(sample())).has_value());

    const QMimeData* data = clipboard->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList({"image/png", "image/tiff"}));
    EXPECT_FALSE(data->hasText());
    const QImage png = QImage::fromData(data->data("image/png"), "png");
    const QImage tiff = QImage::fromData(data->data("image/tiff"), "tiff");
    EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), sample());
    EXPECT_EQ(tiff.convertToFormat(QImage::Format_ARGB32), sample());
}

TEST(ClipboardExporter, AnEncodingFailureLeavesTheClipboardUntouched) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (const QString& broken : {ImageEncoder::png, ImageEncoder::tiff}) {
        clipboard->setText("keep me");
        ClipboardExporter exporter(std::nullopt, failingFor(broken));
        const ExportOutcome outcome = finish(exporter.exportImage(sample()));
        ASSERT_FALSE(outcome.has_value()) << broken.toStdString();
        ASSERT_NE(outcome.error().as<ImageEncoder::Failure>(), nullptr);
        EXPECT_EQ(clipboard->text(), "keep me") << broken.toStdString();
    }
}

TEST(ClipboardExporter, ANamedPasteboardIsThePrimarySelection) {
    EXPECT_EQ(ClipboardExporter(QString("find")).mode(), QClipboard::Selection);
    EXPECT_EQ(ClipboardExporter().pasteboardName(), std::nullopt);
}

TEST(ClipboardExporter, OverlappingCopiesLeaveTheOneAskedForLast) {
    // The first copy encodes slowly; the second, asked for later, finishes first.
    auto slowFirst = [](const QImage& image,
                        const QString& type) -> std::expected<QByteArray, AnyError> {
        if (image.pixelColor(0, 0) == QColor(Qt::red)) QThread::msleep(300);
        return standardImageEncoding()(image, type);
    };
    ClipboardExporter exporter(std::nullopt, slowFirst);
    QImage first(8, 8, QImage::Format_ARGB32), second(8, 8, QImage::Format_ARGB32);
    first.fill(Qt::red);
    second.fill(Qt::green);
    auto older = exporter.exportImage(first);
    auto newer = exporter.exportImage(second);
    ASSERT_TRUE(finish(newer).has_value());
    ASSERT_TRUE(finish(older).has_value());
    const QImage pasted =
        QImage::fromData(QGuiApplication::clipboard()->mimeData()->data("image/png"), "png");
    EXPECT_EQ(pasted.pixelColor(0, 0), QColor(Qt::green));
}

TEST(ClipboardExporter, TakesTheClipboardAtOnceAndEncodesOncePerCopyNotPerPaste) {
    std::atomic<int> encodings = 0;
    auto counting = [&](const QImage& image, const QString& type) {
        ++encodings;
        return standardImageEncoding()(image, type);
    };
    ClipboardExporter exporter(std::nullopt, counting);
    QPromise<std::expected<QImage, AnyError>> composing;
    composing.start();
    auto copied = exporter.exportPending(composing.future());
    // Still composing, the clipboard already lists both types.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList({"image/png", "image/tiff"}));
    EXPECT_EQ(encodings, 0);
    composing.addResult(sample());
    composing.finish();
    ASSERT_TRUE(finish(copied).has_value());
    for (int paste = 0; paste < 3; ++paste) {
        const QMimeData* now = QGuiApplication::clipboard()->mimeData();
        EXPECT_EQ(
            QImage::fromData(now->data("image/png"), "png").convertToFormat(QImage::Format_ARGB32),
            sample());
        EXPECT_FALSE(now->data("image/tiff").isEmpty());
    }
    EXPECT_EQ(encodings, 2);
}

TEST(ClipboardExporter, AFailedCompositionGivesBackTheEarlierContent) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("keep me");
    ClipboardExporter exporter;
    const auto outcome =
        finish(exporter.exportPending(QtFuture::makeReadyFuture(std::expected<QImage, AnyError>(
            std::unexpected(AnyError(ImageEncoder::Failure::encodingFailed()))))));
    ASSERT_FALSE(outcome.has_value());
    EXPECT_EQ(clipboard->text(), "keep me");
}

TEST(PendingImageMimeData, APasteWaitsForItsOwnTypeOnlySoLong) {
    auto bytes = std::make_shared<PendingImageBytes>();
    PendingImageMimeData data(bytes, 50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(data.data("image/png").isEmpty());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(data.data("text/plain").isEmpty());
    // PNG is served while TIFF is still being encoded.
    bytes->fulfil("image/png", QByteArray("png bytes"));
    EXPECT_EQ(data.data("image/png"), "png bytes");
    EXPECT_TRUE(data.data("image/tiff").isEmpty());
    bytes->fulfil("image/tiff", QByteArray("tiff bytes"));
    bytes->fulfil("image/tiff", QByteArray("late bytes"));
    EXPECT_EQ(data.data("image/tiff"), "tiff bytes");
    bytes->fulfil("text/plain", QByteArray("text"));
    EXPECT_FALSE(bytes->wait("text/plain", 0).has_value());
}
