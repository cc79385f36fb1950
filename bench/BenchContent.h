#pragma once

// The realistic desktop every benchmark measures on: the content generator's picture (text, UI
// chrome, a photo region), or a procedural stand-in when it cannot run.

#include <cstdio>

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>

inline QImage realisticScreenshot(int width, int height, const QString& dir) {
    const QString script = QStringLiteral(TESSIK_SOURCE_DIR "/bench/tools/gen_content.py");
    const QString out = dir + QStringLiteral("/content_%1x%2.png").arg(width).arg(height);
    // The system interpreter first: it is the one that has the imaging package.
    for (const QString python : {"/usr/bin/python3", "python3"}) {
        if (!QFileInfo::exists(script) ||
            QProcess::execute(python,
                              {script, QString::number(width), QString::number(height), out}) != 0)
            continue;
        QImage image(out);
        if (!image.isNull()) return image.convertToFormat(QImage::Format_RGB32);
    }
    std::printf("  (content generator unavailable: using a procedural screenshot)\n");
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 44, 52));
    QPainter p(&image);
    auto* random = QRandomGenerator::global();
    for (int y = 0; y < height / 2; y += 24) {
        p.setPen(QColor::fromHsv(random->bounded(360), 120, 230));
        p.drawText(20, y + 20, QString("int capture = screen.grab(%1); // %2").arg(y).arg(y / 24));
    }
    p.end();
    for (int y = height / 2; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = width / 2; x < width; ++x)
            row[x] =
                qRgb((x / 7 + random->bounded(24)) & 255, (y / 5 + random->bounded(24)) & 255, 120);
    }
    return image;
}
