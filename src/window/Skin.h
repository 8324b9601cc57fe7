#pragma once

#include "widgets/PictureCheckBox.h"

#include <QColor>
#include <QPixmap>
#include <QString>

namespace fr {

// The look of the windows: the pictures and colours of one of the three skins, read once at
// start-up from the "bits" folder of the program folder. Applying them is the windows' job.
struct Skin {
    QString name; // "classic", "nature", "banana"
    QPixmap back, minimize, close, open, save, help, smallBack, id3Back;
    QColor colourA, colourB; // background of the input controls, text
    CheckMarkStyle checkMarks = CheckMarkStyle::igCrossBlue;
    QColor form2Brush; // the directory and medium-test dialog's canvas brush

    // Loads the files of skin 0..2 from <programDir>/bits/, clearing the read-only
    // attribute of the colours file first. Returns the reason naming the file on failure (a
    // missing or unreadable picture or colours file, a line that is not a number), empty on
    // success; on failure the skin is left as it was.
    QString load(const QString& programDir, int skinIndex);

    // "classic", "nature", "banana" for 0, 1, 2; empty for any other number.
    static QString skinName(int skinIndex);
};

// A colour written as blue x 65536 + green x 256 + red, as the colours files hold them. A
// negative value names a system colour (its low byte is the classic system colour index:
// window, window text, button face ...), taken from the application's palette.
QColor colourFromBgr(qint64 value);

} // namespace fr
