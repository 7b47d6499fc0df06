#include "app/app_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QRawFont>

namespace {

// Checked at the size the interface draws at: a font may carry bitmaps for small
// sizes that differ from its outlines (WenQuanYi Zen Hei's hyphen is blank at 12
// pixels under Windows' rasteriser, though its outline has ink).
constexpr int kInterfacePixelSize = 12;

// Glyph alpha maps come as 8-bit coverage (indexed or alpha) or as ARGB.
bool hasInk(const QImage& glyph)
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

QString interfaceSampleText()
{
    // Units, full-width punctuation of the messages, the log's frame markers,
    // and the digits and letters of values and units.
    return QStringLiteral("温度(℃)压力(kPa)流量(m3/h)：，。、！？（）【】…-+.%0123456789"
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

QString blankCharacters(const QString& family, const QString& text)
{
    QFont font(family);
    font.setPixelSize(kInterfacePixelSize);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || raw.familyName() != family)
        return text;
    QString blank;
    for (const char32_t character : text.toUcs4()) {
        if (QChar::isSpace(character))
            continue;
        const QString one = QString::fromUcs4(&character, 1);
        const QList<quint32> glyphs = raw.glyphIndexesForString(one);
        if (glyphs.size() != 1 || glyphs[0] == 0 ||
            !hasInk(raw.alphaMapForGlyph(glyphs[0], QRawFont::PixelAntialiasing)))
            blank += one;
    }
    return blank;
}

bool drawsWithInk(const QString& family, const QString& text)
{
    return blankCharacters(family, text).isEmpty();
}

QStringList interfaceFamilies(const QStringList& candidates, const QStringList& symbolCandidates)
{
    const QString sample = interfaceSampleText();
    for (const QString& family : candidates) {
        if (drawsWithInk(family, sample))
            return {family};
    }
    // No Chinese font draws every character (WenQuanYi Micro Hei leaves "℃"
    // blank and Qt never falls back from a glyph the font claims): a font that
    // draws what the Chinese one leaves blank goes first, and the characters it
    // lacks (the ideographs) come from the Chinese font behind it.
    for (const QString& family : candidates) {
        const QString blank = blankCharacters(family, sample);
        if (!drawsWithInk(family, QStringLiteral("温度压力流量")))
            continue;
        for (const QString& symbol : symbolCandidates) {
            if (symbol != family && drawsWithInk(symbol, blank))
                return {symbol, family};
        }
    }
    // Nothing helps: the first Chinese font still beats boxes everywhere.
    return candidates.isEmpty() ? QStringList() : QStringList{candidates.first()};
}

QFont chineseInterfaceFont()
{
    const QStringList families = QFontDatabase::families();
    QStringList candidates;
    // Windows names its fonts in English and, on a Chinese Windows, in Chinese.
    for (const QString& preferred :
         {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
          QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
          QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
          QStringLiteral("Droid Sans Fallback")}) {
        if (families.contains(preferred))
            candidates << preferred;
    }
    candidates << QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    candidates.removeDuplicates();
    QStringList symbols;
    for (const QString& preferred : {QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI Symbol"),
                                     QStringLiteral("Arial Unicode MS"), QStringLiteral("Noto Sans"),
                                     QStringLiteral("Liberation Sans")}) {
        if (families.contains(preferred))
            symbols << preferred;
    }
    const QStringList chosen = interfaceFamilies(candidates, symbols);
    QFont font = QGuiApplication::font();
    if (!chosen.isEmpty())
        font.setFamilies(chosen);
    font.setPixelSize(kInterfacePixelSize);
    return font;
}
