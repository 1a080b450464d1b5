#include "EditHeaderExpert.h"

namespace kestrel {

void TEditHeaderExpert::GotoProcLine(int32_t /*line*/) {}

} // namespace kestrel
