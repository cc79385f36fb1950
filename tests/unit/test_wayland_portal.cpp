#include <gtest/gtest.h>

#include <QBuffer>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "Capture/CaptureError.h"
#include "Platform/Wayland/PortalDisplaySource.h"
#include "Platform/Wayland/PortalErrors.h"
#include "Platform/Wayland/PortalImage.h"
#include "Platform/Wayland/PortalRequest.h"
#include "Platform/Wayland/WaylandOutputs.h"

namespace {

CaptureError errorOf(const DisplaySource::Failure& f) {
    return CaptureError::from(f);
}

// Two outputs side by side: 1280x720 at scale 1, 960x540 logical at scale 2 (the rig's).
const QList<QRect> twoOutputs{QRect(0, 0, 1280, 720), QRect(1280, 0, 960, 540)};

struct CropCase {
    const char* name;
    QList<QRect> outputs;
    QSize image;
    QRect area;
    QRect pixels;
};

TEST(PortalImageTest, EachDisplayIsCutByItsLogicalRectTimesTheImagesOwnScale) {
    const CropCase cases[] = {
        // The image is at the highest scale: the scale-1 output comes out upscaled.
        {"scale 1 beside 2, first", twoOutputs, {4480, 1440}, twoOutputs[0], {0, 0, 2560, 1440}},
        {"scale 1 beside 2, second",
         twoOutputs,
         {4480, 1440},
         twoOutputs[1],
         {2560, 0, 1920, 1080}},
        {"all at scale 1", twoOutputs, {2240, 720}, twoOutputs[1], {1280, 0, 960, 540}},
        // 2560 pixels at 1.5 are 1706.67 logical pixels, which Qt reports as 1707.
        {"fractional 1.5",
         {{0, 0, 1707, 960}},
         {2560, 1440},
         {0, 0, 1707, 960},
         {0, 0, 2560, 1440}},
        {"fractional beside 1",
         {{0, 0, 1707, 960}, {1707, 0, 1280, 720}},
         {4481, 1440},
         {1707, 0, 1280, 720},
         {2561, 0, 1920, 1080}},
        // The layout need not start at 0,0.
        {"negative origin",
         {{-1280, 0, 1280, 720}, {0, 0, 1920, 1080}},
         {3200, 1080},
         {0, 0, 1920, 1080},
         {1280, 0, 1920, 1080}},
        {"stacked",
         {{0, 0, 1920, 1080}, {0, 1080, 1280, 720}},
         {1920, 1800},
         {0, 1080, 1280, 720},
         {0, 1080, 1280, 720}},
    };
    for (const CropCase& c : cases) {
        const auto rect = PortalImage::pixelRect(c.image, PortalImage::layoutOf(c.outputs), c.area);
        ASSERT_TRUE(rect.has_value()) << c.name << ": " << rect.error().description.toStdString();
        EXPECT_EQ(*rect, c.pixels) << c.name;
    }
}

TEST(PortalImageTest, AnImageThatCannotBeTheWholeLayoutFailsWithAReason) {
    const QRect layout = PortalImage::layoutOf(twoOutputs);
    const QSize bad[] = {{1120, 360}, {2239, 720}, {4480, 1000}, {4480, 2000}, {0, 0}};
    for (const QSize& size : bad) {
        const auto rect = PortalImage::pixelRect(size, layout, twoOutputs[0]);
        ASSERT_FALSE(rect.has_value()) << size.width() << "x" << size.height();
        EXPECT_EQ(errorOf(rect.error()).kind, CaptureError::Case::captureFailed);
        EXPECT_FALSE(rect.error().description.isEmpty());
    }
    EXPECT_FALSE(PortalImage::pixelRect({2240, 720}, layout, QRect(3000, 0, 100, 100)));
}

TEST(PortalImageTest, CropGivesTheDisplaysOwnPixelsFromTheOneImage) {
    QImage desktop(4480, 1440, QImage::Format_ARGB32);
    desktop.fill(Qt::blue);
    desktop.setPixelColor(2560, 0, Qt::red);       // first pixel of the second output
    desktop.setPixelColor(2559, 1439, Qt::green);  // last pixel of the first output
    const QRect layout = PortalImage::layoutOf(twoOutputs);
    const auto second = PortalImage::crop(desktop, layout, twoOutputs[1], QSize(1920, 1080));
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->size(), QSize(1920, 1080));
    EXPECT_EQ(second->format(), QImage::Format_RGB32);
    EXPECT_EQ(second->pixelColor(0, 0), QColor(Qt::red));
    // The scale-1 output is taken back to its own 1280x720 pixels.
    const auto first = PortalImage::crop(desktop, layout, twoOutputs[0], QSize(1280, 720));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->size(), QSize(1280, 720));
    EXPECT_EQ(first->pixelColor(0, 0), QColor(Qt::blue));
}

TEST(PortalImageTest, KeptBuffersHoldTheSamePixelsAndServeTheNextCaptureAgain) {
    const QRect layout = PortalImage::layoutOf(twoOutputs);
    PortalImage::Buffers buffers;
    const uchar* firstBits = nullptr;
    for (const QColor colour : {QColor(Qt::blue), QColor(Qt::yellow)}) {
        SCOPED_TRACE(colour.name().toStdString());
        QImage desktop(4480, 1440, QImage::Format_RGB32);
        desktop.fill(colour);
        desktop.setPixelColor(2560, 0, Qt::red);
        desktop.setPixelColor(4479, 1079, Qt::green);  // last pixel of the second output
        for (int i : {0, 1}) {
            const QSize pixels = i ? QSize(1920, 1080) : QSize(1280, 720);
            const auto kept = PortalImage::crop(desktop, layout, twoOutputs[i], pixels, &buffers);
            ASSERT_TRUE(kept.has_value());
            EXPECT_EQ(kept->format(), QImage::Format_RGB32);
            const QRect part = *PortalImage::pixelRect(desktop.size(), layout, twoOutputs[i]);
            EXPECT_EQ(*kept, desktop.copy(part).scaled(pixels, Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation));
            if (i == 1) {
                EXPECT_EQ(kept->pixelColor(0, 0), QColor(Qt::red));
                EXPECT_EQ(kept->pixelColor(1919, 1079), QColor(Qt::green));
                // Once the first capture's image is let go, the next one lands in its memory.
                if (!firstBits)
                    firstBits = kept->constBits();
                else
                    EXPECT_EQ(kept->constBits(), firstBits);
            }
        }
    }
}

struct ResponseCase {
    uint code;
    std::optional<QStringList> entry;
    CaptureError expected;
};

TEST(PortalErrorsTest, ResponseCodesAndThePermissionStoreGiveTheCaptureError) {
    const QString failed =
        QStringLiteral("le portail de capture d'écran n'a pas pu faire la capture");
    const ResponseCase cases[] = {
        {1, std::nullopt, CaptureError::cancelled()},
        {1, QStringList{"no"}, CaptureError::cancelled()},
        {2, QStringList{"no"}, CaptureError::permissionDenied()},
        {2, QStringList{"yes"}, CaptureError::captureFailed(failed)},
        {2, QStringList{}, CaptureError::captureFailed(failed)},
        {2, std::nullopt, CaptureError::captureFailed(failed)},
        {7, QStringList{"no"},
         CaptureError::captureFailed("réponse inconnue du portail de capture d'écran (7)")},
    };
    for (const ResponseCase& c : cases)
        EXPECT_EQ(errorOf(PortalErrors::forResponse(c.code, c.entry)), c.expected)
            << c.code << " " << (c.entry ? c.entry->join(",").toStdString() : "unset");
}

TEST(PortalErrorsTest, BusErrorsAndSilenceAreFailuresWithAFrenchReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"org.freedesktop.DBus.Error.ServiceUnknown",
         "aucun portail de capture d'écran n'est disponible"},
        {"org.freedesktop.DBus.Error.UnknownMethod",
         "aucun portail de capture d'écran n'est disponible"},
        {"org.freedesktop.DBus.Error.NoReply", "le portail de capture d'écran ne répond pas"},
        {"org.freedesktop.DBus.Error.Disconnected", "le bus de session D-Bus n'est pas joignable"},
        {"org.example.Odd",
         "le portail de capture d'écran a renvoyé une erreur (org.example.Odd : détail)"},
    };
    for (const auto& [name, reason] : cases)
        EXPECT_EQ(errorOf(PortalErrors::forBusError(name, "détail")),
                  CaptureError::captureFailed(QString::fromUtf8(reason)))
            << name;
    EXPECT_EQ(errorOf(PortalErrors::timedOut(10)),
              CaptureError::captureFailed("le portail de capture d'écran n'a pas répondu en 10 s"));
}

TEST(PortalRequestTest, WithoutABusTheRequestFailsAtOnce) {
    QDBusConnection gone = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/tessik-bus"), QStringLiteral("tessik-gone"));
    std::optional<PortalRequest::Outcome> outcome;
    PortalRequest::screenshot(gone, [&](PortalRequest::Outcome o) { outcome = o; });
    ASSERT_TRUE(outcome.has_value());
    ASSERT_FALSE(outcome->has_value());
    EXPECT_EQ(errorOf(outcome->error()),
              CaptureError::captureFailed("le bus de session D-Bus n'est pas joignable"));
    QDBusConnection::disconnectFromBus(QStringLiteral("tessik-gone"));
}

class PortalFileTest : public ::testing::Test {
protected:
    QTemporaryDir temporary;  // stands for /tmp and the runtime folder
    QTemporaryDir user;       // stands for the user's own folders
    QStringList places() const { return {temporary.path()}; }

    QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QByteArray png() {
        QImage image(8, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }
    static QVariantMap uri(const QString& path) {
        return {{"uri", QUrl::fromLocalFile(path).toString()}};
    }
};

TEST_F(PortalFileTest, GarbageAnswersFailWithAReasonAndLeaveNoFileBehind) {
    const QString text = write(temporary, "shot.png", "not an image\n");
    const QString tiff = write(temporary, "shot2.png", "II*\0garbage");
    const std::pair<const char*, QVariantMap> cases[] = {
        {"no uri", {{"other", "x"}}},
        {"not a file", {{"uri", "https://example.invalid/shot.png"}}},
        {"not a url", {{"uri", "::::"}}},
        {"missing file", uri(temporary.filePath("absent.png"))},
        {"not a PNG", uri(text)},
        {"another format", uri(tiff)},
    };
    for (const auto& [name, results] : cases) {
        const auto image = PortalImage::read(results, places());
        ASSERT_FALSE(image.has_value()) << name;
        EXPECT_EQ(errorOf(image.error()).kind, CaptureError::Case::captureFailed) << name;
        EXPECT_FALSE(image.error().description.isEmpty()) << name;
    }
    EXPECT_FALSE(QFile::exists(text));
    EXPECT_FALSE(QFile::exists(tiff));
}

TEST_F(PortalFileTest, KeptBuffersDecodeTheSameImage) {
    PortalImage::Buffers buffers;
    const auto image =
        PortalImage::read(uri(write(temporary, "shot.png", png())), places(), &buffers);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->convertToFormat(QImage::Format_RGB32),
              QImage::fromData(png(), "PNG").convertToFormat(QImage::Format_RGB32));
}

TEST_F(PortalFileTest, TheFileIsReadOnceAndRemovedOnlyFromATemporaryPlace) {
    const QString inTemporary = write(temporary, "shot.png", png());
    const auto image = PortalImage::read(uri(inTemporary), places());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), QSize(8, 4));
    EXPECT_FALSE(QFile::exists(inTemporary));

    const QString inUserFolder = write(user, "Capture.png", png());
    ASSERT_TRUE(PortalImage::read(uri(inUserFolder), places()).has_value());
    EXPECT_TRUE(QFile::exists(inUserFolder));

    // A link from a temporary place into the user's folder does not make it temporary.
    ASSERT_TRUE(QFile::link(user.path(), temporary.filePath("link")));
    const QString throughLink = temporary.filePath("link/Capture.png");
    EXPECT_FALSE(PortalImage::isInTemporaryPlace(throughLink, places()));
    ASSERT_TRUE(PortalImage::read(uri(throughLink), places()).has_value());
    EXPECT_TRUE(QFile::exists(inUserFolder));
    EXPECT_FALSE(PortalImage::isInTemporaryPlace(temporary.path() + "x/a.png", places()));
}

class PortalSourceTest : public ::testing::Test {
protected:
    std::shared_ptr<WaylandOutputs> outputs = std::make_shared<WaylandOutputs>();
    int requests = 0;
    PortalRequest::Outcome answer;
    QTemporaryDir temporary;

    std::unique_ptr<PortalDisplaySource> source() {
        return std::make_unique<PortalDisplaySource>(
            outputs,
            [this](std::function<void(PortalRequest::Outcome)> done) {
                ++requests;
                done(answer);
            },
            QStringList{temporary.path()});
    }
    void answerWithDesktop(QSize size) {
        QImage desktop(size, QImage::Format_RGB32);
        desktop.fill(Qt::darkCyan);
        const QString path = temporary.filePath("out.png");
        ASSERT_TRUE(desktop.save(path, "PNG"));
        answer = QVariantMap{{"uri", QUrl::fromLocalFile(path).toString()}};
    }
    DisplayContent content(PortalDisplaySource& s) {
        std::optional<DisplaySource::ContentOutcome> got;
        s.fetchContent([&](DisplaySource::ContentOutcome c) { got = c; });
        EXPECT_TRUE(got && got->has_value());
        return got && *got ? **got : DisplayContent{};
    }
};

TEST_F(PortalSourceTest, OneRequestServesEveryDisplayOfACapture) {
    outputs->set({{"HEADLESS-1", twoOutputs[0]}, {"HEADLESS-2", twoOutputs[1]}});
    answerWithDesktop({4480, 1440});
    auto s = source();
    const DisplayContent listed = content(*s);
    ASSERT_EQ(listed.displays.size(), 2);
    std::optional<DisplaySource::ImagesOutcome> images;
    s->captureImages({{listed.displays[0], {QSize(1280, 720), std::nullopt}},
                      {listed.displays[1], {QSize(1920, 1080), std::nullopt}}},
                     [&](DisplaySource::ImagesOutcome i) { images = i; });
    ASSERT_TRUE(images && images->has_value());
    EXPECT_EQ((**images)[0].size(), QSize(1280, 720));
    EXPECT_EQ((**images)[1].size(), QSize(1920, 1080));
    EXPECT_EQ(requests, 1);
    // Warming up asks nothing of the portal.
    bool warmed = false;
    s->warmUp(listed.displays[0], [&] { warmed = true; });
    EXPECT_TRUE(warmed);
    EXPECT_EQ(requests, 1);
}

TEST_F(PortalSourceTest, IdsStayWithTheOutputNameAndAMovedDisplayIsGone) {
    outputs->set({{"HEADLESS-1", twoOutputs[0]}, {"HEADLESS-2", twoOutputs[1]}});
    auto s = source();
    const SourceDisplay second = content(*s).displays[1];
    // Reordered and the first moved: the ids follow the names.
    outputs->set({{"HEADLESS-2", twoOutputs[1]}, {"HEADLESS-1", QRect(2240, 0, 1280, 720)}});
    EXPECT_EQ(content(*s).displays[0].displayID, second.displayID);
    EXPECT_EQ(outputs->idForName("HEADLESS-1"), 1u);
    answerWithDesktop({4480 + 2560, 1440});
    std::optional<DisplaySource::ImageOutcome> image;
    s->captureImage(SourceDisplay{1, {1280, 720}, twoOutputs[0]}, {QSize(1280, 720), {}},
                    [&](DisplaySource::ImageOutcome i) { image = i; });
    ASSERT_TRUE(image && !image->has_value());
    EXPECT_TRUE(DisplaySource::isDisplayGone(image->error()));
}

TEST_F(PortalSourceTest, PortalFailuresPassThroughUnchanged) {
    outputs->set({{"HEADLESS-1", twoOutputs[0]}});
    answer = std::unexpected(PortalErrors::refused());
    auto s = source();
    std::optional<DisplaySource::ImageOutcome> image;
    s->captureImage(content(*s).displays[0], {QSize(1280, 720), {}},
                    [&](DisplaySource::ImageOutcome i) { image = i; });
    ASSERT_TRUE(image && !image->has_value());
    EXPECT_EQ(errorOf(image->error()), CaptureError::permissionDenied());
}

}  // namespace
