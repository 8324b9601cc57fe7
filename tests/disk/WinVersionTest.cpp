#include "disk/WinVersion.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

VersionReport nineX(std::uint32_t minor, const char* letters, std::uint32_t build = 0) {
    VersionReport report;
    report.platformId = 1;
    report.major = 4;
    report.minor = minor;
    report.buildNumber = build;
    report.servicePack = QString::fromLatin1(letters);
    return report;
}

VersionReport nt(std::uint32_t major, std::uint32_t minor, std::uint8_t type = 0,
                 std::uint16_t suite = 0) {
    VersionReport report;
    report.platformId = 2;
    report.major = major;
    report.minor = minor;
    report.buildNumber = 2600;
    report.extendedQuerySucceeded = true;
    report.productType = type;
    report.suiteMask = suite;
    return report;
}

TWinVersion named(const VersionReport& report) {
    TWinVersion version;
    EXPECT_TRUE(GetWinVersion(report, version));
    return version;
}

TEST(WinVersionTest, NineXReleasesAreToldApartByTheirLetters) {
    struct Case {
        std::uint32_t minor;
        const char* letters;
        const char* name;
        const char* servicePack;
    };
    const Case cases[] = {
        {0, "", "Windows 95 Original", ""},
        {0, " C", "Windows 95 OSR2", ""},
        {0, "c", "Windows 95 OSR2", ""},
        {0, " B", "Windows 95 with Service Pack 1", "Service Pack 1"},
        {0, "BC", "Windows 95 with Service Pack 1", "Service Pack 1"},
        {0, "cb", "Windows 95 with Service Pack 1", "Service Pack 1"},
        {10, "", "Windows 98", ""},
        {10, " a ", "Windows 98 Second Edition", ""},
        {90, "", "Windows ME", ""},
        {90, "A", "Windows ME", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.letters) + " minor " + std::to_string(c.minor));
        const TWinVersion version = named(nineX(c.minor, c.letters, 950));
        EXPECT_EQ(version.Name, QString::fromLatin1(c.name));
        EXPECT_EQ(version.ServicePack, QString::fromLatin1(c.servicePack));
        EXPECT_EQ(version.Family, QStringLiteral("9x"));
    }
}

TEST(WinVersionTest, NineXBuildKeepsOnlyItsLowHalf) {
    const TWinVersion version = named(nineX(10, "", 4 * 65536 + 950));
    EXPECT_EQ(version.Build, 950u);
    EXPECT_EQ(named(nineX(10, "A", 0x040A08AEu)).Build, 2222u); // major and minor in the high half
    EXPECT_EQ(version.Major, 4u);
    EXPECT_EQ(version.Minor, 10u);

    const TWinVersion unknown = named(nineX(50, "A", 4 * 65536 + 1000));
    EXPECT_TRUE(unknown.Name.isEmpty());
    EXPECT_EQ(unknown.Build, 0u);
    EXPECT_EQ(unknown.Family, QStringLiteral("9x"));
}

TEST(WinVersionTest, NtBaseNamesFollowMajorAndMinor) {
    struct Case {
        std::uint32_t major, minor;
        const char* name;
    };
    const Case cases[] = {
        {3, 0, "Windows NT 3.0"},
        {3, 51, "Windows NT 3.51"},
        {3, 2, ""},
        {4, 7, "Windows NT 4.0"},
        {5, 0, "Windows 2000"},
        {5, 1, "Windows XP"},
        {5, 2, "Windows Server 2003"},
        {5, 3, "Future Windows Version"},
        {5, 9, "Future Windows Version"},
        {5, 10, ""},
        {6, 1, "Windows NT 6 Beta - \"Longhorn\""},
        {7, 0, "Future Windows Version"},
        {99, 5, "Future Windows Version"},
        {100, 0, ""},
        {2, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        VersionReport report = nt(c.major, c.minor);
        const TWinVersion version = named(report);
        EXPECT_EQ(version.Name, QString::fromLatin1(c.name));
        EXPECT_EQ(version.Family, QStringLiteral("NT"));
        EXPECT_EQ(version.Build, 2600u);
    }
}

// Later tests replace earlier matches, so a server with a suite ends with the suite's name.
TEST(WinVersionTest, NtEditionsTakeTheLastMatchingTest) {
    struct Case {
        std::uint32_t major, minor;
        std::uint8_t type;
        std::uint16_t suite;
        const char* name;
    };
    const Case cases[] = {
        {4, 0, 1, 0, "Windows NT 4.0 Workstation"},
        {4, 0, 3, 0, "Windows NT 4.0 Server"},
        {4, 0, 2, 0, "Windows NT 4.0"},
        {4, 0, 3, 0x0004, "Windows NT 4.0 Server w/ BackOffice Server"},
        {4, 0, 3, 0x0005, "Windows NT 4.0 Server w/ BackOffice Small-Business Server"},
        {4, 0, 3, 0x0025, "Windows NT 4.0 Server w/ BackOffice Small-Business Server (Rest.)"},
        {5, 0, 1, 0, "Windows 2000 Professional"},
        {5, 0, 3, 0, "Windows 2000 Server"},
        {5, 0, 3, 0x0080, "Windows 2000 Datacenter Server"},
        {5, 0, 3, 0x0082, "Windows 2000 Advanced Server"},
        {5, 1, 1, 0, "Windows XP Professional"},
        {5, 1, 1, 0x0200, "Windows XP Home Edition"},
        {5, 1, 3, 0, "Windows 2003 Server"},
        {5, 1, 3, 0x0002, "Windows 2003 Enterprise Server"},
        {5, 2, 3, 0, "Windows Server 2003"},
        {5, 2, 3, 0x0400, "Windows Server 2003 Web Edition"},
        {5, 2, 3, 0x0480, "Windows Server 2003 Datacenter Edition"},
        {5, 2, 2, 0x0482, "Windows Server 2003 Enterprise Edition"},
        {6, 0, 3, 0x0002, "Windows NT 6 Beta - \"Longhorn\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(named(nt(c.major, c.minor, c.type, c.suite)).Name, QString::fromLatin1(c.name));
    }
}

TEST(WinVersionTest, FailedExtendedQueryKeepsTheBaseName) {
    VersionReport report = nt(5, 1, 1, 0x0200);
    report.extendedQuerySucceeded = false;
    EXPECT_EQ(named(report).Name, QStringLiteral("Windows XP"));
}

TEST(WinVersionTest, NtServicePackIsAppendedToTheEditionName) {
    VersionReport report = nt(5, 1, 1, 0x0200);
    report.servicePack = QStringLiteral("Service Pack 2");
    const TWinVersion version = named(report);
    EXPECT_EQ(version.Name, QStringLiteral("Windows XP Home Edition with Service Pack 2"));
    EXPECT_EQ(version.ServicePack, QStringLiteral("Service Pack 2"));

    report.servicePack = QString(200, QChar(u'x'));
    EXPECT_EQ(named(report).ServicePack.size(), 128);
}

TEST(WinVersionTest, Win32sAndUnknownPlatforms) {
    VersionReport report;
    report.platformId = 0;
    report.major = 3;
    report.minor = 11;
    report.servicePack = QStringLiteral("B");
    TWinVersion version = named(report);
    EXPECT_EQ(version.Name, QStringLiteral("Windows 3.x + Win32"));
    EXPECT_TRUE(version.Family.isEmpty());
    EXPECT_TRUE(version.ServicePack.isEmpty());
    EXPECT_EQ(version.Major, 3u);

    report.platformId = 3;
    version = named(report);
    EXPECT_TRUE(version.Name.isEmpty());
    EXPECT_TRUE(version.Family.isEmpty());
}

TEST(WinVersionTest, FailedQueryLeavesTheRecordUntouched) {
    TWinVersion version;
    version.Name = QStringLiteral("kept");
    version.Build = 7;
    VersionReport report = nt(5, 1);
    report.querySucceeded = false;
    EXPECT_FALSE(GetWinVersion(report, version));
    EXPECT_EQ(version.Name, QStringLiteral("kept"));
    EXPECT_EQ(version.Build, 7u);
}

TEST(WinVersionTest, PlatformFamilyLeavesUnknownIdsAlone) {
    QString family = QStringLiteral("before");
    GetPlatformFamily(3, family);
    EXPECT_EQ(family, QStringLiteral("before"));
    GetPlatformFamily(0, family);
    EXPECT_EQ(family, QStringLiteral("Win32S"));
    GetPlatformFamily(1, family);
    EXPECT_EQ(family, QStringLiteral("9x"));
    GetPlatformFamily(2, family);
    EXPECT_EQ(family, QStringLiteral("NT"));
}

} // namespace
} // namespace fr
