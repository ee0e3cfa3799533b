// The control file parser on arbitrary bytes, then every kind of lookup.
#include "rekol/QvRekolControl.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QvRekolControl control = QvRekolControl::fromText(text);
    (void)control.getProductId();
    const auto& sections = control.sections();
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        const qint64 priority = control.getPriority(it.key());
        // Priority 2 without its URL logs on purpose; the others never do.
        if (priority != QvRekolControl::DEFAULT_PRIORITY)
            (void)control.getServerUrl(priority);
    }
    return 0;
}
