#include "window/Skin.h"

#include "core/NumberLines.h"
#include "platform/FileAttributes.h"

#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <limits>
#include <optional>

namespace fr {

namespace {

constexpr int kSkinCount = 3;

constexpr CheckMarkStyle kCheckMarks[kSkinCount] = {
    CheckMarkStyle::igCrossBlue, CheckMarkStyle::igHookRed, CheckMarkStyle::igCrossGreen};

// Pale blue, green and pale yellow, in the colours files' layout.
constexpr qint64 kForm2Brush[kSkinCount] = {16774111, 2011681, 13629695};

QString loadPicture(const QString& path, QPixmap& picture) {
    QFile file(path);
    if (!file.exists())
        return path + QStringLiteral(": the skin picture is missing");
    if (!file.open(QIODevice::ReadOnly))
        return path + QStringLiteral(": cannot be read: ") + file.errorString();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return path + QStringLiteral(": cannot be read: ") + file.errorString();
    QPixmap loaded;
    if (!loaded.loadFromData(bytes, "BMP"))
        return path + QStringLiteral(": is not a readable Windows bitmap");
    picture = loaded;
    return {};
}

// A colour is a 32-bit number; a negative one names a system colour.
std::optional<qint64> leadingColour(const QByteArray& line) {
    const std::optional<long long> value = NumberLines::leadingInteger(line);
    if (!value || *value < std::numeric_limits<qint32>::min() ||
        *value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return *value;
}

QString readColours(const QString& path, QColor& colourA, QColor& colourB) {
    // A read needs no write permission, so a failure to clear the attribute is not fatal;
    // opening the file reports what matters.
    resetEX(path);

    if (!QFile::exists(path))
        return path + QStringLiteral(": the skin's colours file is missing");
    static const char* const kLines[] = {"line 1 (input background)", "line 2 (text colour)"};
    std::vector<QByteArray> lines;
    if (QString error = NumberLines::read(
            path, 2, [](int index) { return QLatin1String(kLines[index]); }, lines);
        !error.isEmpty())
        return error;

    QColor colours[2];
    for (int index = 0; index < 2; ++index) {
        const QByteArray& line = lines[static_cast<size_t>(index)];
        const std::optional<qint64> value = leadingColour(line);
        if (!value)
            return path + QStringLiteral(", ") + QLatin1String(kLines[index]) +
                   QStringLiteral(": \"") + QString::fromUtf8(line) +
                   QStringLiteral("\" is not a colour number");
        colours[index] = colourFromBgr(*value);
    }
    colourA = colours[0];
    colourB = colours[1];
    return {};
}

// The classic system colour indices, in their numbering, and the palette roles that play
// their part here.
struct SystemColour {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr SystemColour kSystemColours[] = {
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Dark},            // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Mid},           // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Inactive, QPalette::Window},        // 11 inactive border
    {QPalette::Active, QPalette::Mid},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlighted text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Inactive, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::Window},          // 25 (unused)
    {QPalette::Active, QPalette::Link},            // 26 hot-track
    {QPalette::Active, QPalette::Highlight},       // 27 active caption gradient
    {QPalette::Inactive, QPalette::Mid},           // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};

} // namespace

QColor colourFromBgr(qint64 value) {
    if (value < 0) {
        const auto index = static_cast<size_t>(value & 0xFF);
        // An index the platform never had reads as the window's own colour.
        const SystemColour system = index < std::size(kSystemColours)
                                        ? kSystemColours[index]
                                        : SystemColour{QPalette::Active, QPalette::Window};
        return QGuiApplication::palette().color(system.group, system.role);
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QString Skin::skinName(int skinIndex) {
    static const char* const kNames[kSkinCount] = {"classic", "nature", "banana"};
    if (skinIndex < 0 || skinIndex >= kSkinCount)
        return {};
    return QLatin1String(kNames[skinIndex]);
}

QString Skin::load(const QString& programDir, int skinIndex) {
    const QString skin = skinName(skinIndex);
    if (skin.isEmpty())
        return QStringLiteral("There is no skin number %1.").arg(skinIndex);
    const QString base = programDir + QStringLiteral("/bits/") + skin;

    Skin loaded;
    loaded.name = skin;
    using Picture = std::pair<const char*, QPixmap Skin::*>;
    auto loadPictures = [&](std::initializer_list<Picture> pictures) {
        for (const auto& [suffix, member] : pictures) {
            if (QString error = loadPicture(base + QLatin1String(suffix), loaded.*member);
                !error.isEmpty())
                return error;
        }
        return QString();
    };
    // The main window's files in the order its set-up reads them, then the dialogs' own.
    if (QString error = loadPictures({{"_back.bmp", &Skin::back},
                                      {"_minimize.bmp", &Skin::minimize},
                                      {"_close.bmp", &Skin::close},
                                      {"_open.bmp", &Skin::open},
                                      {"_save.bmp", &Skin::save},
                                      {"_help.bmp", &Skin::help}});
        !error.isEmpty())
        return error;
    if (QString error =
            readColours(base + QStringLiteral("_colours.ini"), loaded.colourA, loaded.colourB);
        !error.isEmpty())
        return error;
    if (QString error =
            loadPictures({{"_smback.bmp", &Skin::smallBack}, {"_id3back.bmp", &Skin::id3Back}});
        !error.isEmpty())
        return error;
    loaded.checkMarks = kCheckMarks[skinIndex];
    loaded.form2Brush = colourFromBgr(kForm2Brush[skinIndex]);
    *this = std::move(loaded);
    return {};
}

} // namespace fr
