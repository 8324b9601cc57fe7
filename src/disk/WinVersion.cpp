#include "disk/WinVersion.h"

namespace fr {

namespace {

// The service-pack field of the version record holds at most this many characters.
constexpr qsizetype kServicePackLength = 128;

bool mentions(const QString& text, const char* letter) {
    return text.contains(QLatin1String(letter), Qt::CaseInsensitive);
}

// The 9x family tells its releases apart by a letter in the service-pack text: "B" and
// "C" for the later Windows 95 releases, "A" for the second edition of Windows 98.
void nameNineX(const VersionReport& report, TWinVersion& version) {
    version.Family = QStringLiteral("9x");
    version.Build = report.buildNumber & 0xFFFFu;
    const QString& letters = report.servicePack;
    switch (report.minor) {
    case 0:
        // Both letters name the service-pack release, not the OSR2 one.
        if (mentions(letters, "B")) {
            version.Name = QStringLiteral("Windows 95");
            version.ServicePack = QStringLiteral("Service Pack 1");
        } else if (mentions(letters, "C")) {
            version.Name = QStringLiteral("Windows 95 OSR2");
        } else {
            version.Name = QStringLiteral("Windows 95 Original");
        }
        break;
    case 10:
        version.Name = mentions(letters, "A") ? QStringLiteral("Windows 98 Second Edition")
                                              : QStringLiteral("Windows 98");
        break;
    case 90:
        version.Name = QStringLiteral("Windows ME");
        break;
    default:
        version.Build = 0;
        break;
    }
}

QString ntBaseName(std::uint32_t major, std::uint32_t minor) {
    switch (major) {
    case 3:
        switch (minor) {
        case 0:
            return QStringLiteral("Windows NT 3.0");
        case 1:
            return QStringLiteral("Windows NT 3.1");
        case 5:
            return QStringLiteral("Windows NT 3.5");
        case 51:
            return QStringLiteral("Windows NT 3.51");
        default:
            return {};
        }
    case 4:
        return QStringLiteral("Windows NT 4.0");
    case 5:
        if (minor == 0)
            return QStringLiteral("Windows 2000");
        if (minor == 1)
            return QStringLiteral("Windows XP");
        if (minor == 2)
            return QStringLiteral("Windows Server 2003");
        if (minor <= 9)
            return QStringLiteral("Future Windows Version");
        return {};
    case 6:
        return QStringLiteral("Windows NT 6 Beta - \"Longhorn\"");
    default:
        if (major >= 7 && major <= 99)
            return QStringLiteral("Future Windows Version");
        return {};
    }
}

// Editions come from the extended query. The tests run in a fixed order and a later match
// replaces an earlier one, so a server with a special suite ends with the suite's name.
QString ntEditionName(const VersionReport& report, QString name) {
    const bool workstationBit = (report.productType & 1) != 0;
    const bool server = (report.productType & 3) == 3;
    const auto suite = [&](std::uint16_t bit) {
        return (report.suiteMask & bit) != 0;
    };

    if (report.major == 4) {
        if (workstationBit)
            name = QStringLiteral("Windows NT 4.0 Workstation");
        if (server)
            name = QStringLiteral("Windows NT 4.0 Server");
        if (suite(0x0004))
            name = QStringLiteral("Windows NT 4.0 Server w/ BackOffice Server");
        if (suite(0x0001))
            name = QStringLiteral("Windows NT 4.0 Server w/ BackOffice Small-Business Server");
        if (suite(0x0020))
            name =
                QStringLiteral("Windows NT 4.0 Server w/ BackOffice Small-Business Server (Rest.)");
    } else if (report.major == 5 && report.minor == 0) {
        if (workstationBit)
            name = QStringLiteral("Windows 2000 Professional");
        if (server)
            name = QStringLiteral("Windows 2000 Server");
        if (suite(0x0080))
            name = QStringLiteral("Windows 2000 Datacenter Server");
        if (suite(0x0002))
            name = QStringLiteral("Windows 2000 Advanced Server");
    } else if (report.major == 5 && report.minor == 1) {
        if (workstationBit)
            name = QStringLiteral("Windows XP Professional");
        if (server)
            name = QStringLiteral("Windows 2003 Server");
        if (suite(0x0200))
            name = QStringLiteral("Windows XP Home Edition");
        if (suite(0x0002))
            name = QStringLiteral("Windows 2003 Enterprise Server");
    } else if (report.major == 5 && report.minor == 2) {
        if (suite(0x0400))
            name = QStringLiteral("Windows Server 2003 Web Edition");
        if (suite(0x0080))
            name = QStringLiteral("Windows Server 2003 Datacenter Edition");
        if (suite(0x0002))
            name = QStringLiteral("Windows Server 2003 Enterprise Edition");
    }
    return name;
}

void nameNt(const VersionReport& report, TWinVersion& version) {
    version.Family = QStringLiteral("NT");
    // The record's field ends at its first NUL and holds no more than its fixed length.
    version.ServicePack = report.servicePack.section(QChar(u'\0'), 0, 0).left(kServicePackLength);
    version.Build = report.buildNumber;
    version.Name = ntBaseName(report.major, report.minor);
    if (report.extendedQuerySucceeded)
        version.Name = ntEditionName(report, version.Name);
}

} // namespace

bool GetWinVersion(const VersionReport& report, TWinVersion& version) {
    if (!report.querySucceeded)
        return false;

    // Built aside and assigned whole, so a caller never sees half a description.
    TWinVersion named;
    named.Major = report.major;
    named.Minor = report.minor;
    switch (report.platformId) {
    case 0:
        named.Name = QStringLiteral("Windows 3.x + Win32");
        break;
    case 1:
        nameNineX(report, named);
        break;
    case 2:
        nameNt(report, named);
        break;
    default:
        break;
    }
    if (!named.ServicePack.isEmpty())
        named.Name += QStringLiteral(" with ") + named.ServicePack;
    version = named;
    return true;
}

void GetPlatformFamily(std::uint32_t platformId, QString& family) {
    switch (platformId) {
    case 0:
        family = QStringLiteral("Win32S");
        break;
    case 1:
        family = QStringLiteral("9x");
        break;
    case 2:
        family = QStringLiteral("NT");
        break;
    default:
        break;
    }
}

} // namespace fr
