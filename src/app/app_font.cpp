#include "app/app_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QRawFont>

namespace {

// Glyph alpha maps come as 8-bit coverage (indexed or alpha) or as ARGB.
bool HasInk(const QImage& glyph)
{
    if (glyph.depth() == 8) {
        for (int y = 0; y < glyph.height(); ++y) {
            const uchar* line = glyph.constScanLine(y);
            for (int x = 0; x < glyph.width(); ++x) {
                if (line[x] != 0)
                    return true;
            }
        }
        return false;
    }
    const QImage argb = glyph.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

QString InterfaceSampleText()
{
    // Units, full-width punctuation of the messages, the log's frame markers,
    // and the digits and letters of values and units.
    return QStringLiteral("温度(℃)压力(kPa)流量(m3/h)：，。、！？（）【】…-+.%0123456789"
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

bool DrawsWithInk(const QString& family, const QString& text)
{
    QFont font(family);
    font.setPixelSize(24);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || raw.familyName() != family)
        return false;
    for (const char32_t character : text.toUcs4()) {
        if (QChar::isSpace(character))
            continue;
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&character, 1));
        if (glyphs.size() != 1 || glyphs[0] == 0)
            return false;
        if (!HasInk(raw.alphaMapForGlyph(glyphs[0], QRawFont::PixelAntialiasing)))
            return false;
    }
    return true;
}

QFont ChineseInterfaceFont()
{
    const QStringList families = QFontDatabase::families();
    QStringList candidates;
    for (const QString& preferred :
         {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
          QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
          QStringLiteral("Droid Sans Fallback")}) {
        if (families.contains(preferred))
            candidates << preferred;
    }
    candidates << QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    QString chosen;
    const QString sample = InterfaceSampleText();
    for (const QString& family : candidates) {
        if (DrawsWithInk(family, sample)) {
            chosen = family;
            break;
        }
    }
    // None draws them all: the first Chinese font still beats boxes everywhere.
    if (chosen.isEmpty() && !candidates.isEmpty())
        chosen = candidates.first();
    QFont font = QGuiApplication::font();
    if (!chosen.isEmpty())
        font.setFamily(chosen);
    font.setPixelSize(12);
    return font;
}
