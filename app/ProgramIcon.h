#pragma once

// The program's icon for its windows and their captions: the pictures drawn
// on whole pixels for 16, 22, 24, 32 and 48 px (tools/artwork/
// make_small_icons.py), which stay sharp where the 256 px picture scaled
// down blurs, and the 256 px picture for every larger size.

#include <QIcon>

namespace ProgramIcon {
[[nodiscard]] QIcon icon();
}
