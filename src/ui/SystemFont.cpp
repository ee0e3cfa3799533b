#include "ui/SystemFont.h"

#include <QGuiApplication>

#if defined(Q_OS_LINUX)
#include <fontconfig/fontconfig.h>
#endif

namespace {

// The sans-serif face fontconfig would give Latin text under a Latin locale. The
// application font follows the locale: a Chinese one ranks a CJK face first, and
// its Latin letters are wider than the layout allows. So the first face in
// fontconfig's order for sans-serif that is not a Han face is taken; under a
// Latin locale that is the face the application font already is.
#if defined(Q_OS_LINUX)
// Whether fontconfig ranks a CJK face first for sans-serif: it orders faces by
// the language of FC_LANG or the locale's character type.
bool localePrefersCjk() {
    for (const char* name : {"FC_LANG", "LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (value.isEmpty())
            continue;
        const QByteArray language = value.left(2).toLower();
        return language == "zh" || language == "ja" || language == "ko";
    }
    return false;
}
#endif

QString latinFamily() {
#if defined(Q_OS_LINUX)
    QString family;
    // Asking fontconfig costs about a third of the window's start: only where
    // the answer differs from the application font.
    if (!localePrefersCjk())
        return family;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=en"));
    if (!pattern)
        return family;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result)) {
        for (int i = 0; i < fonts->nfont && family.isEmpty(); ++i) {
            FcCharSet* chars = nullptr;
            FcChar8* name = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, 'a') || FcCharSetHasChar(chars, 0x4E00))
                continue;
            if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch && name)
                family = QString::fromUtf8(reinterpret_cast<const char*>(name));
        }
        FcFontSetDestroy(fonts);
    }
    FcPatternDestroy(pattern);
    return family;
#else
    return {}; // the platform's interface font has Latin letters of its own
#endif
}

} // namespace

QString SystemFont::latinFamily() {
    static const QString family = ::latinFamily();
    return family;
}

QFont SystemFont::of(int size, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    if (const QString family = latinFamily(); !family.isEmpty())
        font.setFamilies({family});
    font.setPixelSize(qMax(1, size));
    font.setWeight(weight);
    return font;
}
