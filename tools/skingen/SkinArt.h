#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

namespace skingen {

// The tones of one skin. Every picture of a skin is drawn from these alone, so the main
// window, its chooser pictures and both dialogs always belong together.
struct Palette {
    QString name;
    QColor frame;                   // the one-pixel edge of a frameless window
    QColor headerTop, headerBottom; // the title area behind the logo and window buttons
    QColor rule;                    // hairlines between the areas
    QColor railTop, railBottom;     // behind the ten command buttons
    QColor page;                    // behind every page control; kept flat (see drawBack)
    QColor accent, accentDark, accentLight;
    QColor logoInk;   // the product name
    QColor fragment;  // the emblem's piece that is put back
    QColor inputBack; // colour A of the colours file
    QColor text;      // colour B of the colours file
};

// classic, nature, banana: the skins in the order of the skin setting.
const std::vector<Palette>& palettes();

enum class Glyph { Minimize, Close, Help };

// Where the title-area pictures sit on the main window (top 5, 16 x 14).
constexpr int kGlyphTop = 5;
constexpr int kHelpLeft = 444, kMinimizeLeft = 460, kCloseLeft = 476;

QImage drawBack(const Palette& palette);
// A window button, drawn over the part of the background it covers so that its rounded
// corners blend in.
QImage drawGlyph(const Palette& palette, const QImage& back, int left, Glyph glyph);
QImage drawOpen(const Palette& palette);
QImage drawSave(const Palette& palette);
QImage drawSmallBack(const Palette& palette);
QImage drawId3Back(const Palette& palette);

// The colours file: colour A and colour B, one decimal blue x 65536 + green x 256 + red
// value a line, CR LF.
QByteArray coloursFile(const Palette& palette);

} // namespace skingen
