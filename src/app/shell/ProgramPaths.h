#pragma once

#include <QString>

namespace quorlen {

// What --paths prints: the folders and files this program would use now,
// found the way the window finds them, one "name: value" line each. An
// administrator checks an installation with it; nothing is created.
QString ProgramPathsText();

}  // namespace quorlen
