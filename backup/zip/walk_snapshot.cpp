#include "backup/zip/walk_snapshot.h"

#include <algorithm>

#include "backup/zip/archive_files.h"

namespace mvn {

bool SameWalk(const WalkSnapshot& before, const WalkSnapshot& now) {
    return std::equal(before.begin(), before.end(), now.begin(), now.end(),
                      [](const WalkedEntry& a, const WalkedEntry& b) {
                          const bool folder = (a.attributes & kAttributeDirectory) != 0;
                          return a.path == b.path && a.attributes == b.attributes && a.size == b.size &&
                                 (folder || a.lastWrite == b.lastWrite);
                      });
}

}  // namespace mvn
