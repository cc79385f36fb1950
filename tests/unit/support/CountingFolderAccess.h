#pragma once

#include <QStringList>

#include "Settings/SecurityScopedFolder.h"

// Records every start and stop of folder access; refuses starts when told to.
class CountingFolderAccess final : public FolderAccess {
public:
    bool grant = true;
    QStringList starts;
    QStringList stops;

    bool startAccessing(const QString& url) override {
        starts << url;
        return grant;
    }
    void stopAccessing(const QString& url) override { stops << url; }
};
