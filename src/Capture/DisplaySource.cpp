#include "Capture/DisplaySource.h"

#include <memory>

namespace {

struct Batch {
    QList<StillCapture> captures;
    QList<QImage> images;
    std::function<void(DisplaySource::ImagesOutcome)> completion;
};

void captureNext(DisplaySource& source, std::shared_ptr<Batch> batch) {
    if (batch->images.size() == batch->captures.size()) return batch->completion(batch->images);
    const StillCapture& next = batch->captures[batch->images.size()];
    source.captureImage(next.display, next.request,
                        [&source, batch](DisplaySource::ImageOutcome image) {
                            if (!image) return batch->completion(std::unexpected(image.error()));
                            batch->images.append(std::move(*image));
                            captureNext(source, batch);
                        });
}

}  // namespace

void DisplaySource::captureImages(QList<StillCapture> captures,
                                  std::function<void(ImagesOutcome)> completion) {
    captureNext(*this,
                std::make_shared<Batch>(Batch{std::move(captures), {}, std::move(completion)}));
}

void DisplaySource::warmUp(const SourceDisplay& display, std::function<void()> done) {
    const StillCaptureRequest onePixel{QSize(1, 1), Rect(0, 0, 1, 1)};
    captureImage(display, onePixel, [done](ImageOutcome) { done(); });
}
