#pragma once

// Time limits of the tests, scaled for slow builds: a sanitizer build runs
// the captures several times slower, and a wait sized for a plain build
// would fail there with nothing wrong. ONDREL_TEST_TIME_SCALE overrides.

#include <QtGlobal>

#if defined(__SANITIZE_ADDRESS__)
#define ONDREL_TEST_DEFAULT_SCALE 6
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ONDREL_TEST_DEFAULT_SCALE 6
#endif
#endif
#ifndef ONDREL_TEST_DEFAULT_SCALE
#define ONDREL_TEST_DEFAULT_SCALE 1
#endif

inline int testMs(int ms) {
    static const int scale = [] {
        bool ok = false;
        const int s = qEnvironmentVariableIntValue("ONDREL_TEST_TIME_SCALE", &ok);
        return ok && s > 0 ? s : ONDREL_TEST_DEFAULT_SCALE;
    }();
    return ms * scale;
}
