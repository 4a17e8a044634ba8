#pragma once

#include <QtNumeric>

#include <limits>

// Counts and sizes come from mod files written by anyone; a mod that claims absurd numbers is to be rated as
// very heavy, not to wrap around into a light one. Sums of such values stop at the largest value.
template <typename T> T saturatingAdd(T a, T b)
{
    T sum;
    if (qAddOverflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
    return sum;
}
