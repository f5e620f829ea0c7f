#include "sound/pulse_library.h"

#include <dlfcn.h>

namespace quillet {

namespace {

// libpulse is loaded by the cue thread, not linked into the program: with the
// libraries it brings it would be loaded before main(), the window would show
// later, and a player who keeps the sound off would pay for it all the same.
constexpr const char* PulseLibrary = "libpulse.so.0";

template <typename Function>
bool find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

const PulseFunctions* pulse() {
    static const PulseFunctions* const loaded = []() -> const PulseFunctions* {
        void* library = dlopen(PulseLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static PulseFunctions functions;
        bool complete = true;
#define QUILLET_PULSE_FIND(member, function) \
    complete = complete && find(library, #function, functions.member);
        QUILLET_PULSE_FUNCTIONS(QUILLET_PULSE_FIND)
#undef QUILLET_PULSE_FIND
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

}  // namespace quillet
