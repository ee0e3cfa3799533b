#include "install/PropertyList.h"

#include "base/SmallFile.h"

// The parsing lives in PropertyList_libplist.cpp or PropertyList_mac.cpp.

PropertyList PropertyList::readFile(const QString& path) {
    QString error;
    const std::optional<QByteArray> bytes = readSmallFile(path, error, kMaxBytes);
    if (!bytes) {
        PropertyList list;
        list.m_error = error;
        return list;
    }
    return fromBytes(*bytes);
}
