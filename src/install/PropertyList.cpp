#include "install/PropertyList.h"

#include "base/SmallFile.h"

#include <QHash>
#include <algorithm>
#include <vector>

// The parsing lives in PropertyList_libplist.cpp or PropertyList_mac.cpp.

namespace {

// Deepest element nesting of an XML text, counted without parsing it (markup in
// comments counts too, which only errs towards refusing); stops past limit.
int xmlDepth(const QByteArray& text, int limit) {
    int depth = 0, deepest = 0;
    for (qsizetype at = text.indexOf('<'); at >= 0 && deepest <= limit;
         at = text.indexOf('<', at + 1)) {
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        const qsizetype end = text.indexOf('>', at);
        if (next == '/')
            --depth;
        else if (next != '?' && next != '!' && end > at && text[end - 1] != '/')
            deepest = std::max(deepest, ++depth);
    }
    return deepest;
}

quint64 bigEndian(const char* bytes, int width) {
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | static_cast<uchar>(bytes[i]);
    return value;
}

struct Shape {
    int depth = 0;     // the longest chain of objects from the top
    quint64 nodes = 0; // what a reader makes of it, each reference a copy
};

// The shape of a binary list ("bplist00"), worked out without building it; all
// zero when its tables do not hold together (the reader refuses those itself).
// Stops once past maxDepth or maxNodes.
Shape binaryShape(const QByteArray& b, int maxDepth, quint64 maxNodes) {
    const quint64 size = quint64(b.size());
    if (size < 40)
        return {};
    const quint64 trailer = size - 32;
    const char* t = b.constData() + trailer;
    const int offsetWidth = static_cast<uchar>(t[6]), refWidth = static_cast<uchar>(t[7]);
    const quint64 count = bigEndian(t + 8, 8), top = bigEndian(t + 16, 8);
    const quint64 table = bigEndian(t + 24, 8);
    if (offsetWidth < 1 || offsetWidth > 8 || refWidth < 1 || refWidth > 8 || top >= count ||
        table >= trailer || count > (trailer - table) / quint64(offsetWidth))
        return {};
    struct Visit {
        quint64 object = 0, refs = 0, count = 0, next = 0;
        Shape below; // the tallest child's depth; every child's nodes
    };
    // Where an object's references start and how many there are: none but for
    // arrays, sets and dictionaries (keys, then values).
    const auto visit = [&](quint64 object) {
        Visit v;
        v.object = object;
        const quint64 at = bigEndian(b.constData() + table + object * offsetWidth, offsetWidth);
        const int kind = at < trailer ? static_cast<uchar>(b[at]) >> 4 : 0;
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return v;
        quint64 n = static_cast<uchar>(b[at]) & 0xF, start = at + 1;
        if (n == 0xF) {
            const int marker = start < trailer ? static_cast<uchar>(b[start]) : 0;
            const int width = 1 << (marker & 0x3);
            if (marker >> 4 != 1 || start + 1 + width > trailer)
                return v;
            n = bigEndian(b.constData() + start + 1, width);
            start += 1 + width;
        }
        if (n > (trailer - start) / quint64(refWidth) / (kind == 0xD ? 2 : 1))
            return v;
        v.refs = start;
        v.count = kind == 0xD ? 2 * n : n;
        return v;
    };
    // Depth first without recursion, each object's shape worked out once, so that
    // shared objects cannot make the walk itself exponential. Each object met is
    // at least one entry: past maxNodes of them, the list is too large anyway.
    QHash<quint64, Shape> shapes; // depth -1: on the path
    std::vector<Visit> path;
    const auto enter = [&](quint64 object) {
        shapes[object].depth = -1;
        path.push_back(visit(object));
    };
    const auto addChild = [](Shape& below, const Shape& child) {
        below = {std::max(below.depth, child.depth), below.nodes + child.nodes};
    };
    enter(top);
    while (!path.empty()) {
        Visit& v = path.back();
        if (int(path.size()) > maxDepth || v.below.nodes > maxNodes ||
            quint64(shapes.size()) > maxNodes)
            return {int(path.size()), std::max(v.below.nodes, quint64(shapes.size()))};
        if (v.next < v.count) {
            const quint64 child = bigEndian(b.constData() + v.refs + v.next++ * refWidth, refWidth);
            if (child >= count)
                continue;
            const Shape known = shapes.value(child);
            if (known.depth == -1)
                return {maxDepth + 1, 0}; // a cycle: endless for a recursive reader
            if (known.depth == 0) {
                enter(child);
                continue;
            }
            addChild(v.below, known);
            continue;
        }
        const Shape own = {v.below.depth + 1, v.below.nodes + 1};
        shapes[v.object] = own;
        path.pop_back();
        if (!path.empty())
            addChild(path.back().below, own);
    }
    return shapes.value(top);
}

} // namespace

bool PropertyList::refuses(const QByteArray& bytes) {
    if (bytes.size() > kMaxBytes) {
        m_error = QStringLiteral("File too large");
        return true;
    }
    const Shape shape = bytes.startsWith("bplist") ? binaryShape(bytes, kMaxDepth, kMaxEntries)
                                                   : Shape{xmlDepth(bytes, kMaxDepth), 0};
    if (shape.depth > kMaxDepth)
        m_error = QStringLiteral("nested more than %1 levels deep").arg(kMaxDepth);
    else if (shape.nodes > kMaxEntries)
        m_error =
            QStringLiteral("more than %1 entries once its shared ones are copied").arg(kMaxEntries);
    else
        return false;
    m_status = Status::Malformed;
    return true;
}

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
