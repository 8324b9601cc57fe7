#include "platform/AdminCheck.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fr {
namespace {

TEST(AdminCheck, RootOrAMemberOfAnAdministrativeGroupMayReadDisks) {
    EXPECT_TRUE(isAdministrator(0, {}));
    EXPECT_TRUE(isAdministrator(1000, {"users", "sudo"}));
    EXPECT_TRUE(isAdministrator(1000, {"wheel"}));
    EXPECT_TRUE(isAdministrator(1000, {"admin"}));
    EXPECT_TRUE(isAdministrator(1000, {"plugdev", "disk"}));
}

TEST(AdminCheck, OtherUsersMayNot) {
    EXPECT_FALSE(isAdministrator(1000, {}));
    EXPECT_FALSE(isAdministrator(1000, {"users", "plugdev", "cdrom", "audio"}));
    EXPECT_FALSE(isAdministrator(1000, {"Sudo", "DISK"})) << "group names are case-sensitive";
    EXPECT_FALSE(isAdministrator(1000, {"sudoers", "diskless"}));
}

TEST(AdminCheck, CurrentUserGroupsIncludeThePrimaryGroup) {
    const QStringList groups = groupNamesOfCurrentUser();
    EXPECT_FALSE(groups.isEmpty());
    if (getuid() == 0) {
        EXPECT_TRUE(groups.contains(QStringLiteral("root")));
    }
}

} // namespace
} // namespace fr
