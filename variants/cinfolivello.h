#pragma once
// CInfoLivello: where one variant's segment lies in the composite option code of the current article,
// and whether it is a grid level the article uses. One record per variant of the company, in variant
// code order.

#include <cstdint>

#include "platform/variant/variant.h"

namespace qmx {

class CInfoLivello : public kv::Object {
public:
    int16_t Inizio = 0;             // 1-based position of the segment's first character
    int16_t Fine = 0;               // position of its last character
    int16_t Dimensione = 0;         // segment length
    bool IsLivelloGriglia = false;  // a grid level enabled for the article
    int16_t LivelloGrigla = 0;      // 1 first level, > 1 second level; 1 when the article's only grid level
};

}  // namespace qmx
