// The skins: the shipped ones are complete, sized for their windows and readable; a skin
// reads its own files and reports a broken one by name.

#include "window/Skin.h"

#include "support/TempProgramDir.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::TempProgramDir;

QString shippedBits() {
    return TempProgramDir::shippedDataDir() + QStringLiteral("/bits");
}

// Puts the shipped files of one skin into the program folder's "bits", afresh.
// Leaves only this skin's files in the program folder.
void copySkin(const TempProgramDir& dir, const QString& skin) {
    QDir(dir.file(QStringLiteral("bits"))).removeRecursively();
    QDir(dir.path()).mkpath(QStringLiteral("bits"));
    const QDir shipped(shippedBits());
    for (const QString& name : shipped.entryList({skin + QStringLiteral("_*")}, QDir::Files)) {
        const QString target = dir.file(QStringLiteral("bits/") + name);
        QFile::remove(target);
        ASSERT_TRUE(QFile::copy(shipped.filePath(name), target)) << target.toStdString();
    }
}

double luminance(const QColor& colour) {
    auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) +
           0.0722 * linear(colour.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The lowest contrast of the text colour against any pixel where text may stand.
double worstContrast(const QImage& picture, const QRect& area, const QColor& text) {
    double worst = 21.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            worst = std::min(worst, contrast(picture.pixelColor(x, y), text));
    return worst;
}

class ShippedSkinTest : public testing::TestWithParam<int> {
protected:
    QString skin() const { return Skin::skinName(GetParam()); }
};

TEST_P(ShippedSkinTest, LoadsWithEveryPictureAtItsSizeAndAs24BitBitmaps) {
    Skin loaded;
    ASSERT_EQ(loaded.load(TempProgramDir::shippedDataDir(), GetParam()), QString());
    EXPECT_EQ(loaded.back.size(), QSize(500, 330));
    EXPECT_EQ(loaded.open.size(), QSize(33, 33));
    EXPECT_EQ(loaded.save.size(), QSize(33, 33));
    EXPECT_EQ(loaded.smallBack.size(), QSize(200, 150));
    EXPECT_EQ(loaded.id3Back.size(), QSize(300, 220));
    for (const QPixmap* glyph : {&loaded.minimize, &loaded.close, &loaded.help})
        EXPECT_EQ(glyph->size(), QSize(16, 14));

    for (const char* suffix :
         {"_back", "_minimize", "_close", "_open", "_save", "_help", "_smback", "_id3back"}) {
        QFile file(shippedBits() + '/' + skin() + QLatin1String(suffix) + ".bmp");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QByteArray header = file.read(30);
        ASSERT_EQ(header.size(), 30);
        EXPECT_TRUE(header.startsWith("BM")) << file.fileName().toStdString();
        const int bitsPerPixel = static_cast<uchar>(header[28]) | static_cast<uchar>(header[29])
                                                                      << 8;
        EXPECT_EQ(bitsPerPixel, 24) << file.fileName().toStdString();
    }
}

TEST_P(ShippedSkinTest, TextColourReadsOnTheBackgroundsAndInTheInputControls) {
    Skin loaded;
    ASSERT_EQ(loaded.load(TempProgramDir::shippedDataDir(), GetParam()), QString());
    const QColor text = loaded.colourB;
    EXPECT_GE(contrast(text, loaded.colourA), 4.5);
    // The medium-test dialog writes its status on its canvas brush.
    EXPECT_GE(contrast(text, loaded.form2Brush), 4.5);

    const QImage back = loaded.back.toImage();
    EXPECT_GE(worstContrast(back, QRect(2, 56, 125, 262), text), 4.5) << "command buttons";
    EXPECT_GE(worstContrast(back, QRect(155, 70, 313, 22), text), 4.5) << "page title";
    EXPECT_GE(worstContrast(back, QRect(160, 95, 330, 230), text), 4.5) << "page controls";
    EXPECT_GE(worstContrast(loaded.smallBack.toImage(), QRect(2, 2, 196, 146), text), 4.5);
    const QImage id3 = loaded.id3Back.toImage();
    EXPECT_GE(worstContrast(id3, QRect(2, 9, 254, 209), text), 4.5) << "fields and buttons";
    EXPECT_GE(worstContrast(id3, QRect(256, 46, 42, 172), text), 4.5) << "year and genre";
}

INSTANTIATE_TEST_SUITE_P(Skins, ShippedSkinTest, testing::Values(0, 1, 2));

TEST(SkinTest, SkinOneReadsTheNatureFilesOnly) {
    TempProgramDir dir;
    copySkin(dir, QStringLiteral("nature"));
    Skin loaded;
    ASSERT_EQ(loaded.load(dir.path(), 1), QString());
    EXPECT_EQ(loaded.name, QStringLiteral("nature"));
    EXPECT_EQ(loaded.checkMarks, CheckMarkStyle::igHookRed);
    EXPECT_EQ(loaded.form2Brush, QColor(33, 178, 30));
    EXPECT_EQ(
        loaded.back.toImage(),
        QImage(shippedBits() + "/nature_back.bmp").convertToFormat(loaded.back.toImage().format()));

    EXPECT_NE(loaded.load(dir.path(), 0), QString()) << "no classic files in this folder";
    EXPECT_EQ(loaded.name, QStringLiteral("nature")) << "a failed load keeps the skin";
}

TEST(SkinTest, ColoursFileIsReadInBlueGreenRedLayoutFromAReadOnlyFile) {
    TempProgramDir dir;
    copySkin(dir, QStringLiteral("classic"));
    const QString colours = dir.file(QStringLiteral("bits/classic_colours.ini"));
    dir.write(QStringLiteral("bits/classic_colours.ini"), "16773848\r\n15438849\r\n");
    QFile::setPermissions(colours, QFile::ReadOwner | QFile::ReadGroup);

    Skin loaded;
    ASSERT_EQ(loaded.load(dir.path(), 0), QString());
    EXPECT_EQ(loaded.colourA, QColor(216, 242, 255));
    EXPECT_EQ(loaded.colourB, QColor(1, 148, 235));
    EXPECT_TRUE(QFile::permissions(colours) & QFile::WriteOwner);
}

TEST(SkinTest, NegativeColourIsASystemColour) {
    const QPalette palette = QGuiApplication::palette();
    EXPECT_EQ(colourFromBgr(-2147483643), palette.color(QPalette::Base)); // window
    EXPECT_EQ(colourFromBgr(-16777208), palette.color(QPalette::Text));   // window text
}

TEST(SkinTest, BrokenSkinIsReportedByTheFileAtFault) {
    TempProgramDir dir;
    copySkin(dir, QStringLiteral("banana"));
    Skin loaded;

    dir.remove(QStringLiteral("bits/banana_save.bmp"));
    QString reason = loaded.load(dir.path(), 2);
    EXPECT_TRUE(reason.contains(QStringLiteral("banana_save.bmp"))) << reason.toStdString();

    copySkin(dir, QStringLiteral("banana"));
    dir.write(QStringLiteral("bits/banana_help.bmp"), "not a bitmap");
    reason = loaded.load(dir.path(), 2);
    EXPECT_TRUE(reason.contains(QStringLiteral("banana_help.bmp"))) << reason.toStdString();

    copySkin(dir, QStringLiteral("banana"));
    for (const QByteArray& content :
         {QByteArray("16773848\r\nblue\r\n"), QByteArray("16773848\r\n"),
          QByteArray("99999999999\r\n0\r\n")}) {
        dir.write(QStringLiteral("bits/banana_colours.ini"), content);
        reason = loaded.load(dir.path(), 2);
        EXPECT_TRUE(reason.contains(QStringLiteral("banana_colours.ini")))
            << content.toStdString() << " -> " << reason.toStdString();
    }
    EXPECT_TRUE(loaded.name.isEmpty()) << "nothing was taken from the broken skin";
}

} // namespace
} // namespace fr
