#include "install/PropertyList.h"

#include <cstdlib>
#include <plist/plist.h>

namespace {
QString takeString(char* text) {
    QString out = QString::fromUtf8(text ? text : "");
    std::free(text);
    return out;
}

QString textForm(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        return takeString(text);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QString::number(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QString::number(value, 'g', 17);
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value ? QStringLiteral("1") : QStringLiteral("0");
    }
    default:
        return {};
    }
}
} // namespace

void PropertyList::Free::operator()(void* node) const {
    plist_free(static_cast<plist_t>(node));
}

PropertyList PropertyList::fromBytes(const QByteArray& bytes) {
    PropertyList list;
    if (list.refuses(bytes))
        return list;
    plist_t root = nullptr;
    if (!bytes.isEmpty()) {
        // libplist 2.3 added an out-parameter for the format it found.
#ifdef LUMADOC_LIBPLIST_FORMAT_ARGUMENT
        plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root, nullptr);
#else
        plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
#endif
    }
    list.m_root.reset(root);
    if (!root) {
        list.m_status = Status::Malformed;
        list.m_error = QStringLiteral("The data is not a property list");
    } else if (plist_get_node_type(root) != PLIST_DICT) {
        list.m_status = Status::NotDictionary;
    } else {
        list.m_status = Status::Ok;
    }
    return list;
}

std::optional<QString> PropertyList::valueOfKeyContaining(const QString& part) const {
    if (m_status != Status::Ok)
        return std::nullopt;
    plist_t dict = m_root.get();
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    std::optional<QString> found;
    while (iter && !found) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (!key)
            break;
        if (takeString(key).contains(part))
            found = textForm(value);
    }
    std::free(iter);
    return found;
}

std::optional<QString> PropertyList::stringValue(const QString& key) const {
    if (m_status != Status::Ok)
        return std::nullopt;
    plist_t node = plist_dict_get_item(m_root.get(), key.toUtf8().constData());
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    return textForm(node);
}
