#pragma once
// Qt's own texts (standard buttons, context menus of text fields, file dialogs) in Italian, like every
// other text a user of the host sees. The translations come with Qt (the qt6-translations-l10n package).

#include <QCoreApplication>

namespace kv::qt {

// Loads Qt's Italian translations into the application and makes Italian the default locale. False when
// the translation files are not installed (Qt's texts then stay English).
bool InstallItalianTranslations(QCoreApplication& app);

}  // namespace kv::qt
