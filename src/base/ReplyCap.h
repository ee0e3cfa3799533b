#pragma once
// A reply cut off once more than its cap arrives or is announced: what a server
// sends past the size of the thing asked for is never kept in memory, however
// long it goes on. The cut is logged in `category`; the reply then finishes as
// aborted, and cutOff() tells why. What arrived is judged by the bytes the reply
// holds, so its owner reads them only once it has finished.

#include <QtGlobal>

class QLoggingCategory;
class QNetworkReply;

namespace ReplyCap {

void limit(QNetworkReply* reply, qint64 cap, const QLoggingCategory& category);
// True once limit() cut the reply off, also when all of it had already arrived.
bool cutOff(const QNetworkReply* reply);

} // namespace ReplyCap
