#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QString>

// The save-folder record `like` with its path replaced, as a damaged or hand-made settings file
// could hold one (the folder identity is kept).
inline QByteArray recordWithPath(const QByteArray& like, const QString& path) {
    QDataStream in(like);
    in.setVersion(QDataStream::Qt_6_4);
    QByteArray magic;
    quint8 version = 0;
    QString original;
    quint64 device = 0, inode = 0;
    in >> magic >> version >> original >> device >> inode;
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << magic << version << path << device << inode;
    return data;
}
