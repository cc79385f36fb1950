#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include "Capture/ScreenCaptureService.h"
#include "support/FakeDisplaySource.h"

namespace {

using Failure = DisplaySource::Failure;

SourceDisplay display(quint32 id, double width, double height) {
    return {id, Size{width, height}, QRect(0, 0, int(width), int(height))};
}

ScreenDescriptor screen(quint32 id, double width, double height, double scale = 1) {
    return {id, Rect(0, 0, width, height), scale};
}

bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > 5000) return false;
        QThread::msleep(1);
    }
    return true;
}

template <class T>
std::optional<CaptureError> failureOf(const CaptureExpected<T>& r) {
    if (r) return std::nullopt;
    return r.error();
}

template <class T>
T result(QFuture<T> future) {
    future.waitForFinished();
    return future.result();
}

class CaptureServiceTest : public ::testing::Test {
protected:
    CaptureServiceTest() {
        auto source = std::make_unique<FakeDisplaySource>();
        fake = source.get();
        fake->setDisplays({display(1, 1440, 900), display(2, 1920, 1080)});
        service = std::make_unique<ScreenCaptureService>(std::move(source));
    }

    CaptureExpected<DisplayCapture> capture(ScreenDescriptor s) {
        return result(service->capture(s));
    }

    FakeDisplaySource* fake = nullptr;  // owned by the service
    std::unique_ptr<ScreenCaptureService> service;
};

TEST_F(CaptureServiceTest, CapturesEveryScreenInOrderAtScaleTimesPoints) {
    const QList<ScreenDescriptor> screens{screen(1, 1440, 900, 2), screen(2, 1920, 1080, 1)};
    const auto captures = result(service->captureAll(screens));
    ASSERT_TRUE(captures.has_value());
    ASSERT_EQ(captures->size(), 2);
    EXPECT_EQ((*captures)[0].screen, screens[0]);
    EXPECT_EQ((*captures)[0].image.size(), QSize(2880, 1800));
    EXPECT_EQ((*captures)[0].image.pixel(5, 5), FakeDisplaySource::colorOf(1).rgb());
    EXPECT_EQ((*captures)[1].screen, screens[1]);
    EXPECT_EQ((*captures)[1].image.size(), QSize(1920, 1080));
    EXPECT_EQ((*captures)[1].image.pixel(5, 5), FakeDisplaySource::colorOf(2).rgb());
    // The pointer is never asked for and the whole display is taken.
    for (const auto& call : fake->captures()) EXPECT_FALSE(call.request.sourceRect.has_value());
    // The source works on the service's thread, never the caller's.
    EXPECT_NE(fake->callingThread(), QThread::currentThread());
}

TEST_F(CaptureServiceTest, PixelSizeIsScaleTimesPointsRoundedHalfAway) {
    struct Case {
        double width, height, scale;
        QSize pixels;
    };
    const Case cases[] = {
        {1365, 768, 1.5, QSize(2048, 1152)},  // 2047.5 rounds up
        {2560 / 1.5, 1440 / 1.5, 1.5,
         QSize(2560, 1440)},  // fractional points give the monitor back
        {1440, 900, 2, QSize(2880, 1800)},
        {1280, 800, 1.25, QSize(1600, 1000)},
    };
    for (const Case& c : cases) {
        fake->setDisplays({display(7, c.width, c.height)});
        service->invalidateCachedContent();
        const auto one = capture(screen(7, c.width, c.height, c.scale));
        ASSERT_TRUE(one.has_value());
        EXPECT_EQ(one->image.size(), c.pixels) << c.width << "x" << c.height << " @" << c.scale;
    }
}

TEST_F(CaptureServiceTest, EmptyListAsksNothing) {
    const auto captures = result(service->captureAll({}));
    ASSERT_TRUE(captures.has_value());
    EXPECT_TRUE(captures->isEmpty());
    EXPECT_EQ(fake->fetchCount(), 0);
}

TEST_F(CaptureServiceTest, DisplayListIsCachedUntilInvalidated) {
    ASSERT_TRUE(capture(screen(1, 1440, 900)).has_value());
    ASSERT_TRUE(result(service->captureAll({screen(1, 1440, 900), screen(2, 1920, 1080)})));
    EXPECT_EQ(fake->fetchCount(), 1);
    service->invalidateCachedContent();
    ASSERT_TRUE(capture(screen(2, 1920, 1080)).has_value());
    EXPECT_EQ(fake->fetchCount(), 2);
}

TEST_F(CaptureServiceTest, DisplayAddedAfterCachingIsFoundByOneRefetch) {
    service->prewarm().waitForFinished();
    fake->setDisplays({display(1, 1440, 900), display(2, 1920, 1080), display(3, 800, 600)});
    const auto added = capture(screen(3, 800, 600));
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->image.size(), QSize(800, 600));
    EXPECT_EQ(fake->fetchCount(), 2);
}

TEST_F(CaptureServiceTest, DisplayMissingFromAFreshListIsUnavailableAndTheFreshListIsKept) {
    fake->setDisplays({display(1, 1440, 900)});
    service->prewarm().waitForFinished();
    const auto gone = capture(screen(2, 1920, 1080));
    ASSERT_FALSE(gone.has_value());
    EXPECT_EQ(failureOf(gone), CaptureError::displayUnavailable());
    EXPECT_EQ(fake->fetchCount(), 2);
    EXPECT_TRUE(capture(screen(1, 1440, 900)).has_value());
    EXPECT_EQ(fake->fetchCount(), 2);
}

TEST_F(CaptureServiceTest, FetchFailuresAreTypedAndClearTheCache) {
    struct Case {
        Failure failure;
        CaptureError expected;
    };
    const Case cases[] = {
        {{CaptureError::permissionDomain, -3801, "refusé"}, CaptureError::permissionDenied()},
        {{CaptureError::permissionDomain, -3803, "non autorisé"}, CaptureError::permissionDenied()},
        {{CaptureError::permissionDomain, -3802, "autre"}, CaptureError::captureFailed("autre")},
        {{"X11", 0, "la connexion au serveur X a été interrompue"},
         CaptureError::captureFailed("la connexion au serveur X a été interrompue")},
    };
    for (const Case& c : cases) {
        fake->setDisplays({display(1, 1440, 900)});
        service->invalidateCachedContent();
        ASSERT_TRUE(capture(screen(1, 1440, 900)).has_value());
        const int before = fake->fetchCount();
        fake->failFetch(c.failure);
        // The cached list still serves a known display; only a refetch meets the failure.
        EXPECT_EQ(failureOf(capture(screen(9, 10, 10))), c.expected)
            << c.failure.description.toStdString();
        fake->setDisplays({display(1, 1440, 900)});
        EXPECT_TRUE(capture(screen(1, 1440, 900)).has_value());
        EXPECT_EQ(fake->fetchCount(), before + 2) << "the failed fetch must drop the cache";
    }
}

TEST_F(CaptureServiceTest, FirstFailureFailsTheWholeAndStopsThere) {
    fake->setDisplays({display(1, 100, 100), display(2, 100, 100), display(3, 100, 100)});
    fake->failCapture(2, {"X11", 8, "le serveur X a refusé la requête ShmGetImage (BadMatch)"});
    const auto all = result(
        service->captureAll({screen(1, 100, 100), screen(2, 100, 100), screen(3, 100, 100)}));
    EXPECT_EQ(failureOf(all), CaptureError::captureFailed(
                                  "le serveur X a refusé la requête ShmGetImage (BadMatch)"));
    ASSERT_EQ(fake->captures().size(), 2);
    // A failed capture leaves the list cached.
    EXPECT_TRUE(capture(screen(1, 100, 100)).has_value());
    EXPECT_EQ(fake->fetchCount(), 1);
}

TEST_F(CaptureServiceTest, DisplayGoneDuringCaptureIsUnavailableAndDropsTheList) {
    fake->failCapture(2, {DisplaySource::sourceDomain, DisplaySource::displayGoneCode, "retiré"});
    EXPECT_EQ(failureOf(capture(screen(2, 1920, 1080))), CaptureError::displayUnavailable());
    EXPECT_TRUE(capture(screen(1, 1440, 900)).has_value());
    EXPECT_EQ(fake->fetchCount(), 2);
}

TEST_F(CaptureServiceTest, WarmUpTakesOnePixelOfTheFirstDisplayOncePerProcess) {
    service->prewarm().waitForFinished();
    ASSERT_EQ(fake->captures().size(), 1);
    const auto warm = fake->captures().first();
    EXPECT_EQ(warm.display.displayID, 1u);
    EXPECT_EQ(warm.request.pixelSize, QSize(1, 1));
    EXPECT_EQ(warm.request.sourceRect, std::optional<Rect>(Rect(0, 0, 1, 1)));
    for (int i = 0; i < 3; ++i) {  // display changes: the list is refetched, the warm-up not rerun
        service->invalidateCachedContent();
        service->prewarm().waitForFinished();
    }
    EXPECT_EQ(fake->fetchCount(), 4);
    EXPECT_EQ(fake->captures().size(), 1);
}

TEST_F(CaptureServiceTest, WarmUpWaitsForContentButNotForASuccessfulCapture) {
    fake->failFetch({CaptureError::permissionDomain, -3801, "refusé"});
    service->prewarm().waitForFinished();
    fake->setDisplays({});
    service->prewarm().waitForFinished();
    EXPECT_TRUE(fake->captures().isEmpty());
    // A failing warm-up capture still counts as the one attempt.
    fake->setDisplays({display(1, 1440, 900)});
    fake->failCapture(1, {"X11", 0, "échec"});
    service->invalidateCachedContent();
    service->prewarm().waitForFinished();
    service->invalidateCachedContent();
    service->prewarm().waitForFinished();
    EXPECT_EQ(fake->captures().size(), 1);
}

TEST_F(CaptureServiceTest, CallsReturnAtOnceAndOverlapWhileTheSourceIsBusy) {
    fake->setDeferred(true);
    auto all = service->captureAll({screen(1, 1440, 900), screen(2, 1920, 1080)});
    auto one = service->capture(screen(2, 1920, 1080));
    // Both calls are waiting on their own fetch: the second ran while the first was suspended.
    ASSERT_TRUE(waitFor([&] { return fake->pending() == 2; }));
    EXPECT_FALSE(all.isFinished());
    EXPECT_FALSE(one.isFinished());
    EXPECT_EQ(fake->fetchCount(), 2);
    // Answers delivered from this thread still continue on the service's thread.
    while (!(all.isFinished() && one.isFinished())) {
        fake->completeNext();
        QThread::msleep(1);
    }
    ASSERT_TRUE(all.result().has_value());
    EXPECT_EQ(all.result()->size(), 2);
    ASSERT_TRUE(one.result().has_value());
    EXPECT_EQ(one.result()->image.size(), QSize(1920, 1080));
    EXPECT_EQ(fake->fetchCount(), 2);  // the captures themselves used the cached list
}

TEST_F(CaptureServiceTest, CallsRunInTheOrderTheyWereMade) {
    ASSERT_TRUE(capture(screen(1, 1440, 900)).has_value());
    // Not awaited: the capture after them must still see the emptied cache and the warm-up.
    service->invalidateCachedContent();
    service->prewarm();
    ASSERT_TRUE(capture(screen(1, 1440, 900)).has_value());
    EXPECT_EQ(fake->fetchCount(), 2);
    const auto calls = fake->captures();
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[1].request.pixelSize, QSize(1, 1));
    EXPECT_EQ(calls[2].request.pixelSize, QSize(1440, 900));
}

TEST(CaptureServiceLifetime, EndingWithACallInFlightCancelsItsFuture) {
    auto source = std::make_unique<FakeDisplaySource>();
    auto* fake = source.get();
    fake->setDeferred(true);
    QFuture<CaptureExpected<DisplayCapture>> pending;
    {
        ScreenCaptureService service(std::move(source));
        pending = service.capture(screen(1, 10, 10));
        ASSERT_TRUE(waitFor([&] { return fake->pending() == 1; }));
    }
    EXPECT_TRUE(pending.isFinished());
    EXPECT_TRUE(pending.isCanceled());
}

}  // namespace
