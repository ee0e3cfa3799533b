#pragma once
// The format definition file (qfmt.dat): one table definition per line (see
// TableFormat), LF or CR LF line ends (a lone CR stays in its line), empty
// lines skipped, a later definition of a name replacing the earlier one.
// Loaded once; afterwards only read, so lookups need no lock.

#include "rekol/TableFormat.h"

#include <QString>
#include <map>

class QvRekolFormat {
public:
    // Loads `qfmt`, a file name in the resources folder (Config::resourcePath).
    // Never fails: a missing file leaves no tables and logs nothing; a file
    // that cannot be read as text leaves no tables and logs one error.
    explicit QvRekolFormat(const QString& qfmt);

    // The same, from a full path.
    static QvRekolFormat fromPath(const QString& path);
    // The same, from the file's text.
    static QvRekolFormat fromText(const QString& text);

    // The table of that exact name (no trimming, no case folding), or null.
    // Valid as long as this object.
    const TableFormat* getTable(const QString& tableName) const;

    const std::map<QString, TableFormat>& tableDict() const { return mTableDict; }

private:
    QvRekolFormat() = default;
    void loadFile(const QString& path);
    void loadText(const QString& text);

    std::map<QString, TableFormat> mTableDict;
};
