#include "EditHeaderExpert.h"

namespace kestrel {

void TEditHeaderExpert::memFindProcClick(TIMenuItemIntf* /*sender*/) {}

} // namespace kestrel
