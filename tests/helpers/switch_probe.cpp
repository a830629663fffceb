// Runs the switch from wherever a test has placed a copy of it, since the base path depends on
// the executable's own location. The argument picks the scheme: "classic" or "hd".
// Exit codes: 0 when the host was started (the switch ends the process itself), 3 when
// WriteFontConfig returned, 2 for any other argument. Message boxes are left to the test.

#include "core/font_switch.h"

#include <cstring>

namespace {

constexpr int kSwitchReturned = 3;
constexpr int kUnknownScheme = 2;

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "classic") != 0 && std::strcmp(argv[1], "hd") != 0))
        return kUnknownScheme;
    WriteFontConfig(std::strcmp(argv[1], "classic") == 0);
    return kSwitchReturned;
}
