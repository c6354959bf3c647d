// The program's version, for its version resource and the release's name.
#pragma once

#define QV_VERSION_TEXT "1.03"
#define QV_VERSION_NUMBERS 1, 0, 3, 0
