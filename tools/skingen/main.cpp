// skingen: draws the pictures and colour files of the three skins (classic, nature, banana)
// that the program loads from its "bits" folder.
//
// The output is committed under data/bits/. To regenerate it after changing the art:
//
//     cmake --build build --target skingen
//     build/tools/skingen/skingen data/bits
//
// and look at the result before committing. The pictures are 24-bit Windows bitmaps, as the
// skin files have always been; the lettering is Liberation Sans (fonts-liberation), so the
// files come out the same on every machine set up by scripts/setup.

#include "SkinArt.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>

namespace {

bool fail(const QString& message) {
    std::fprintf(stderr, "skingen: %s\n", qPrintable(message));
    return false;
}

bool writeBitmap(const QImage& image, const QString& path) {
    // RGB888 is what Qt writes as a 24-bit bitmap; anything with alpha would become 32-bit.
    QImageWriter writer(path, "BMP");
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
        return fail(path + QStringLiteral(": ") + writer.errorString());
    return true;
}

bool writeFile(const QByteArray& content, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return fail(path + QStringLiteral(": ") + file.errorString());
    return true;
}

bool haveFonts() {
    // A substitute font would silently change the lettering of every skin.
    const QString family = QFontInfo(QFont(QStringLiteral("Liberation Sans"))).family();
    if (family != QStringLiteral("Liberation Sans"))
        return fail(QStringLiteral("Liberation Sans is not installed (fonts-liberation)"));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        fail(out + QStringLiteral(": cannot be created"));
        return 1;
    }
    if (!haveFonts())
        return 1;

    using namespace skingen;
    for (const Palette& palette : palettes()) {
        const QString base = out + '/' + palette.name;
        const QImage back = drawBack(palette);
        const bool ok = writeBitmap(back, base + QStringLiteral("_back.bmp")) &&
                        writeBitmap(drawGlyph(palette, back, kMinimizeLeft, Glyph::Minimize),
                                    base + QStringLiteral("_minimize.bmp")) &&
                        writeBitmap(drawGlyph(palette, back, kCloseLeft, Glyph::Close),
                                    base + QStringLiteral("_close.bmp")) &&
                        writeBitmap(drawGlyph(palette, back, kHelpLeft, Glyph::Help),
                                    base + QStringLiteral("_help.bmp")) &&
                        writeBitmap(drawOpen(palette), base + QStringLiteral("_open.bmp")) &&
                        writeBitmap(drawSave(palette), base + QStringLiteral("_save.bmp")) &&
                        writeBitmap(drawSmallBack(palette), base + QStringLiteral("_smback.bmp")) &&
                        writeBitmap(drawId3Back(palette), base + QStringLiteral("_id3back.bmp")) &&
                        writeFile(coloursFile(palette), base + QStringLiteral("_colours.ini"));
        if (!ok)
            return 1;
    }
    return 0;
}
