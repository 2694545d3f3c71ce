#include "latin1validator.h"

#include <algorithm>

namespace lv {

QValidator::State Latin1Validator::validate(QString& input, int& /*pos*/) const
{
    const bool latin1 = std::all_of(input.cbegin(), input.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? Acceptable : Invalid;
}

} // namespace lv
