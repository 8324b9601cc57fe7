#include "window/Prisposob.h"

#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"

#include <QLabel>
#include <cmath>

namespace fr {

int pixelsOfPoints(int points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

void prisposob(QWidget* control, int limit, int smallPoints, int normalPoints,
               const QString& text) {
    const QMetaObject* kind = control->metaObject();
    if (kind != &QLabel::staticMetaObject && kind != &FlatButton::staticMetaObject &&
        kind != &PictureCheckBox::staticMetaObject)
        return;
    QFont font = control->font();
    if (text.size() > limit) {
        font.setPixelSize(pixelsOfPoints(smallPoints));
        font.setFamily(QStringLiteral("Tahoma"));
    } else {
        font.setPixelSize(pixelsOfPoints(normalPoints));
        if (control->objectName() != QLatin1String("Label1"))
            font.setFamily(QStringLiteral("Arial"));
    }
    control->setFont(font);
}

QString pageTitleOf(const QString& caption) {
    QString title = caption;
    if (!title.isEmpty() && title[0] >= 'a' && title[0] <= 'z')
        title[0] = QChar(title[0].unicode() - 'a' + 'A');
    return title;
}

} // namespace fr
