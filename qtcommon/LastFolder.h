#pragma once
// The folder a program's file dialogs start in: the one a file was last saved to or opened from,
// kept in the program's own settings ([files] lastFolder, qtcommon/ProgramSettings.h). Nothing is
// written until a file was chosen.
#include <QString>

namespace jvo::qt {

// The last folder used, if it still exists; else the user's documents folder.
QString LastFolder();
// Remembers the folder of `path` (a file chosen in a dialog).
void RememberFolderOf(const QString& path);

}  // namespace jvo::qt
