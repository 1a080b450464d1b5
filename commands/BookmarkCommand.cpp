#include "EditHeaderExpert.h"

namespace kestrel {

void TEditHeaderExpert::memBookmarkClick(TIMenuItemIntf* /*sender*/) {}

} // namespace kestrel
