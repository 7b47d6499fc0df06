#include "app/app_font.h"

#include <QFontDatabase>
#include <QGuiApplication>

QFont ChineseInterfaceFont()
{
    const QStringList families = QFontDatabase::families();
    QString chosen;
    for (const QString& preferred :
         {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
          QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
          QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Droid Sans Fallback")}) {
        if (families.contains(preferred)) {
            chosen = preferred;
            break;
        }
    }
    if (chosen.isEmpty()) {
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        if (!chinese.isEmpty())
            chosen = chinese.first();
    }
    QFont font = QGuiApplication::font();
    if (!chosen.isEmpty())
        font.setFamily(chosen);
    font.setPixelSize(12);
    return font;
}
