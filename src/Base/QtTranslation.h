#pragma once

class QCoreApplication;

// Loads Qt's own French translation (Debian's qt6-translations-l10n) into the application, so
// that Qt's dialogs and key names ("Ctrl+Maj+2") are French like the rest. False when it is not
// installed; Qt then speaks English.
bool installQtFrenchTranslation(QCoreApplication& app);
