// Shows the countdown dialog as the program does, for looking at it (and for
// screenshots): the result goes to standard output.
#include <cstdio>

#include "actions/Countdown.h"

int main() {
    const bool ran = qv::actions::ConfirmShutdownCountdown();
    std::printf("%s\n", ran ? "expired" : "cancelled");
    return 0;
}
