#pragma once
// Where the stored rows of one price-list key were read. Private to matrix/.

#include <memory>
#include <vector>

namespace qmx {

struct StoredPriceRows;  // stored_price_rows.h

// The stored rows of one key: at these positions (1-based) of a read of stored rows; none when nothing
// is stored.
struct RigheDiChiave {
    std::shared_ptr<const StoredPriceRows> letti;
    std::vector<long> posizioni;
};

}  // namespace qmx
