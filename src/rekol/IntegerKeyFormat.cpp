#include "rekol/IntegerKeyFormat.h"

#include "rekol/QvRekolUtil.h"

#include <limits>
#include <utility>

namespace {

template <typename T> constexpr const char* typeNameOf() {
    if constexpr (std::is_same_v<T, std::int32_t>)
        return "int";
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return "int64";
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return "short";
    else
        return "byte";
}

} // namespace

template <typename T>
IntegerKeyFormat<T>::IntegerKeyFormat()
    : KeyFormat(typeNameOf<T>(), sizeof(T)) {}

template <typename T> bool IntegerKeyFormat<T>::isDataValid() const {
    return std::holds_alternative<qint64>(keyValue());
}

template <typename T> QByteArray IntegerKeyFormat<T>::getByteData() const {
    const auto* value = std::get_if<qint64>(&keyValue());
    // std::in_range compares across signedness without wrapping.
    if (value == nullptr || !std::in_range<T>(*value))
        return QByteArray(static_cast<qsizetype>(sizeof(T)), '\0');
    return QvRekolUtil::toByteArray(static_cast<T>(*value));
}

template class IntegerKeyFormat<std::int32_t>;
template class IntegerKeyFormat<std::int64_t>;
template class IntegerKeyFormat<std::uint16_t>;
template class IntegerKeyFormat<std::uint8_t>;
