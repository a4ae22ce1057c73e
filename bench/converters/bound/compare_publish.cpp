#include "compare_publish.h"

void ovraBenchComparePublish(ovra::IMpDspHost* host, const float* samples, int32_t count, float* last) {
    for (int32_t i = 0; i < count; ++i) {
        const float v = samples[i] * 10.0f;
        if ((v < *last) | (v > *last)) {
            *last = v;
            host->publishPinValue(i, 0, 4, last);
        }
    }
}
