// The user's language for the tool's texts and for Qt's standard ones (OK, the edit menu, the
// command-line parser's messages). English is the source and what stays when no catalogue for
// the user's language is found.
#pragma once

#include <QString>

namespace zk4 {

// Installs the translators for the system locale's languages on the running QCoreApplication:
// zk4_<language>.qm from `folder` (ToolPlaces::translationsFolder), and Qt's qtbase_<language>.qm
// from Qt's own translations, else from `folder` (a copy deployed with its own Qt). A message
// locale of "C" or "POSIX" (LC_ALL, else LC_MESSAGES, else LANG) means English, whatever
// LANGUAGE asks for, as gettext has it.
void LoadTranslations(const QString& folder);

}  // namespace zk4
