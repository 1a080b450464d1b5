#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrel {

// The editor host's position record: column, then line, both 1-based. Its
// byte layout depends on the host interface version.
#pragma pack(push, 1)
struct EditorPos0017 {
    int16_t Col;
    int32_t Line;
};
#pragma pack(pop)

struct EditorPos0016 {
    int16_t Col;
    int32_t Line;
};

static_assert(sizeof(EditorPos0017) == 6 && offsetof(EditorPos0017, Col) == 0 &&
              offsetof(EditorPos0017, Line) == 2);
static_assert(sizeof(EditorPos0016) == 8 && offsetof(EditorPos0016, Col) == 0 &&
              offsetof(EditorPos0016, Line) == 4);

#if defined(KESTREL_INTERFACE_VERSION)
#if KESTREL_INTERFACE_VERSION == 17
using EditorPos = EditorPos0017;
#elif KESTREL_INTERFACE_VERSION == 16
using EditorPos = EditorPos0016;
#else
#error "KESTREL_INTERFACE_VERSION must be 16 or 17"
#endif
#endif

} // namespace kestrel
