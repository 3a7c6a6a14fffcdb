#include "base/fonts.h"

#include <QStringList>

void installFontSubstitutes()
{
    const QStringList cjk { QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback") };
    const QStringList faces { QStringLiteral("SimSun"), QStringLiteral("宋体"),
        QStringLiteral("LiSu"), QStringLiteral("隶书"), QStringLiteral("FZShuTi"),
        QStringLiteral("方正舒体"), QStringLiteral("KaiTi"), QStringLiteral("楷体_GB2312"),
        QStringLiteral("黑体"), QStringLiteral("SimHei") };
    for (const QString &face : faces)
        QFont::insertSubstitutions(face, cjk);
    // Arial's metrics, so that a caption laid out for it fits its box.
    QFont::insertSubstitutions(QStringLiteral("Arial"),
        { QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans") });
}

QFont designFont(const QString &face, double points, bool bold)
{
    QFont font(face);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
