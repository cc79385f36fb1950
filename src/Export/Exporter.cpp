#include "Export/Exporter.h"

#include <memory>

#include <QCoreApplication>
#include <QPromise>

QFuture<ExportOutcome> Exporter::exportPending(PendingImage image) {
    auto promise = std::make_shared<QPromise<ExportOutcome>>();
    promise->start();
    QFuture<ExportOutcome> outcome = promise->future();
    image.then(QCoreApplication::instance(),
               [this, promise](const std::expected<QImage, AnyError>& made) {
                   const auto deliver = [promise](const ExportOutcome& o) {
                       promise->addResult(o);
                       promise->finish();
                   };
                   if (!made) return deliver(std::unexpected(made.error()));
                   exportImage(*made).then(deliver);
               });
    return outcome;
}
