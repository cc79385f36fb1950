#pragma once

#include <expected>

#include <QByteArray>
#include <QImage>
#include <QString>

// Turns an image into the bytes of one complete image file, in memory. Types are MIME types,
// which are also the clipboard's names for them. Callable from any thread; keeps no state.
namespace ImageEncoder {

inline const QString png = QStringLiteral("image/png");
inline const QString tiff = QStringLiteral("image/tiff");

struct Failure {
    enum class Case { unsupportedType, encodingFailed };

    Case kind = Case::encodingFailed;
    QString type;  // unsupportedType only: the requested type

    static Failure unsupportedType(const QString& type) { return {Case::unsupportedType, type}; }
    static Failure encodingFailed() { return {Case::encodingFailed, {}}; }

    QString description() const;
    bool operator==(const Failure&) const = default;
};

std::expected<QByteArray, Failure> data(const QImage& from, const QString& as);

}  // namespace ImageEncoder
