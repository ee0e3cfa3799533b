#include "support/PropertyListBytes.h"

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>

QByteArray binaryPropertyList(const QList<std::pair<QString, QVariant>>& entries) {
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto& [key, value] : entries) {
        CFStringRef cfKey = key.toCFString();
        CFTypeRef cfValue = nullptr;
        if (value.typeId() == QMetaType::QString) {
            cfValue = value.toString().toCFString();
        } else {
            const long long number = value.toLongLong();
            cfValue = CFNumberCreate(nullptr, kCFNumberLongLongType, &number);
        }
        CFDictionarySetValue(dict, cfKey, cfValue);
        CFRelease(cfValue);
        CFRelease(cfKey);
    }
    CFDataRef data =
        CFPropertyListCreateData(nullptr, dict, kCFPropertyListBinaryFormat_v1_0, 0, nullptr);
    CFRelease(dict);
    if (!data)
        return {};
    const QByteArray bytes(reinterpret_cast<const char*>(CFDataGetBytePtr(data)),
                           CFDataGetLength(data));
    CFRelease(data);
    return bytes;
}

#else
#include <cstdlib>
#include <plist/plist.h>

QByteArray binaryPropertyList(const QList<std::pair<QString, QVariant>>& entries) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : entries) {
        plist_t node = value.typeId() == QMetaType::QString
                           ? plist_new_string(value.toString().toUtf8().constData())
                           : plist_new_uint(value.toULongLong());
        plist_dict_set_item(dict, key.toUtf8().constData(), node);
    }
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bin, &length);
    plist_free(dict);
    const QByteArray bytes(bin, static_cast<qsizetype>(length));
    std::free(bin);
    return bytes;
}
#endif
