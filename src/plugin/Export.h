// Marks the module's one exported symbol; everything else stays hidden.
#pragma once

#if defined(_WIN32)
#define ZYL_EXPORT __declspec(dllexport)
#else
#define ZYL_EXPORT __attribute__((visibility("default")))
#endif
