#pragma once
// The public data every report carries, in the order fillPublicData() sets it.

#include <QString>
#include <cstdint>

struct JsonReportBlock {
    QString accountId;
    std::int64_t tid1 = 0;
    std::int64_t tid2 = 0;
    std::int64_t tod1 = 0;
    std::int64_t tod2 = 0;
    std::int64_t iid = 0;
    std::int64_t tryno = 0;
    std::int64_t filever = 0;
    std::int64_t productId = 0;
    QString countryCode;
    QString language;
};
