#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace fr::test {

// A file to put on an image: a relative path with '/' between folders, and its bytes.
struct ImageFile {
    QString path;
    QByteArray content;
};

// Image files of real file systems with a known label and serial, made with the file
// systems' own tools (no mounting). Each function replaces `image` and throws
// std::runtime_error with the tool's message when it fails.
class MediaImages {
public:
    // A 1.44 MB floppy (FAT12, 2880 sectors of 512 bytes).
    static void floppy(const QString& image, const QString& label, quint32 serial,
                       const QList<ImageFile>& files = {});
    // FAT12, FAT16 or FAT32 (fatBits 12, 16, 32) in a file of `size` bytes; 0 takes a size
    // that suits the type (the floppy's for 12, 16 MiB for 16, 64 MiB for 32).
    static void fat(const QString& image, int fatBits, const QString& label, quint32 serial,
                    const QList<ImageFile>& files = {}, qint64 size = 0);
    // ext4 with this UUID (e.g. "0123abcd-...") in a file of `size` bytes.
    static void ext4(const QString& image, const QString& label, const QString& uuid,
                     const QList<ImageFile>& files = {}, qint64 size = 8 << 20);
    // ISO 9660 with Rock Ridge and Joliet names. Its volume date, "YYYYMMDDhhmmsscc", is the
    // identity blkid reports for it (as UUID "YYYY-MM-DD-hh-mm-ss-cc").
    static void iso9660(const QString& image, const QString& label,
                        const QList<ImageFile>& files = {},
                        const QString& volumeDate = QStringLiteral("2024010112000000"));

    // A FAT serial as blkid and volume listings show it: "ABCD-1234".
    static QString fatSerialText(quint32 serial);
};

} // namespace fr::test
