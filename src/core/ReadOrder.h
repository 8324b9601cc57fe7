#pragma once

namespace fr {

// The order in which a copy or an image job reads its source. Whatever the order, the result
// is the one the unit-by-unit rule gives: only how soon the readable data are in hand, and how
// often a damaged place is read, differ.
struct ReadOrder {
    // Good data first: the whole source in large blocks, skipping ahead over failures; the
    // skipped stretches from their far end; the edges of each damaged stretch; and last the
    // unit-by-unit rule over what is left. False: the unit-by-unit rule from the start.
    bool goodDataFirst = true;
    // The sweeps go the other way round: the first from the end backwards, the second forwards.
    bool reverse = false;
    // Further times the unit-by-unit rule goes over the places it could not read.
    int retries = 0;
};

} // namespace fr
