#include "install/PropertyList.h"

#include <CoreFoundation/CoreFoundation.h>
#include <vector>

namespace {
QString textForm(CFTypeRef value) {
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID())
        return QString::fromCFString(static_cast<CFStringRef>(value));
    if (type == CFBooleanGetTypeID())
        return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? QStringLiteral("1")
                                                                   : QStringLiteral("0");
    if (type == CFNumberGetTypeID()) {
        const auto number = static_cast<CFNumberRef>(value);
        if (CFNumberIsFloatType(number)) {
            double real = 0;
            CFNumberGetValue(number, kCFNumberDoubleType, &real);
            return QString::number(real, 'g', 17);
        }
        long long integer = 0;
        CFNumberGetValue(number, kCFNumberLongLongType, &integer);
        return QString::number(integer);
    }
    return {};
}
} // namespace

void PropertyList::Free::operator()(void* node) const {
    CFRelease(static_cast<CFTypeRef>(node));
}

PropertyList PropertyList::fromBytes(const QByteArray& bytes) {
    PropertyList list;
    if (list.refuses(bytes))
        return list;
    CFPropertyListRef root = nullptr;
    if (!bytes.isEmpty()) {
        // No copy: the bytes outlive the parse, and the result owns its own storage.
        CFDataRef data = CFDataCreateWithBytesNoCopy(
            kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.constData()), bytes.size(),
            kCFAllocatorNull);
        CFErrorRef error = nullptr;
        root = CFPropertyListCreateWithData(kCFAllocatorDefault, data, kCFPropertyListImmutable,
                                            nullptr, &error);
        if (error) {
            CFStringRef description = CFErrorCopyDescription(error);
            list.m_error = QString::fromCFString(description);
            CFRelease(description);
            CFRelease(error);
        }
        CFRelease(data);
    }
    list.m_root.reset(const_cast<void*>(root));
    if (!root) {
        list.m_status = Status::Malformed;
        if (list.m_error.isEmpty())
            list.m_error = QStringLiteral("The data is not a property list");
    } else if (CFGetTypeID(root) != CFDictionaryGetTypeID()) {
        list.m_status = Status::NotDictionary;
    } else {
        list.m_status = Status::Ok;
    }
    return list;
}

std::optional<QString> PropertyList::valueOfKeyContaining(const QString& part) const {
    if (m_status != Status::Ok)
        return std::nullopt;
    const auto dict = static_cast<CFDictionaryRef>(m_root.get());
    const CFIndex count = CFDictionaryGetCount(dict);
    std::vector<const void*> keys(static_cast<size_t>(count));
    std::vector<const void*> values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
    for (CFIndex i = 0; i < count; ++i) {
        if (CFGetTypeID(keys[i]) != CFStringGetTypeID())
            continue;
        if (QString::fromCFString(static_cast<CFStringRef>(keys[i])).contains(part))
            return textForm(values[i]);
    }
    return std::nullopt;
}

std::optional<QString> PropertyList::stringValue(const QString& key) const {
    if (m_status != Status::Ok)
        return std::nullopt;
    CFStringRef cfKey = key.toCFString();
    const CFTypeRef value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(m_root.get()), cfKey);
    CFRelease(cfKey);
    if (!value || CFGetTypeID(value) != CFStringGetTypeID())
        return std::nullopt;
    return textForm(value);
}
