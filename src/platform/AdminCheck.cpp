#include "platform/AdminCheck.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace fr {

bool isAdministrator(uid_t uid, const QStringList& groupNames) {
    if (uid == 0)
        return true;
    for (const QString& name : groupNames)
        if (kAdministrativeGroups.contains(name))
            return true;
    return false;
}

namespace {

void addGroupName(gid_t gid, QStringList& names) {
    if (const group* entry = getgrgid(gid)) {
        const QString name = QString::fromLocal8Bit(entry->gr_name);
        if (!names.contains(name))
            names.append(name);
    }
}

} // namespace

QStringList groupNamesOfCurrentUser() {
    QStringList names;

    const int inForce = getgroups(0, nullptr);
    if (inForce > 0) {
        std::vector<gid_t> gids(static_cast<size_t>(inForce));
        const int count = getgroups(inForce, gids.data());
        for (int i = 0; i < count; ++i)
            addGroupName(gids[static_cast<size_t>(i)], names);
    }
    addGroupName(getegid(), names);

    if (const passwd* user = getpwuid(getuid())) {
        int count = 64;
        std::vector<gid_t> gids(static_cast<size_t>(count));
        if (getgrouplist(user->pw_name, user->pw_gid, gids.data(), &count) == -1) {
            gids.resize(static_cast<size_t>(count));
            if (getgrouplist(user->pw_name, user->pw_gid, gids.data(), &count) == -1)
                count = 0;
        }
        for (int i = 0; i < count; ++i)
            addGroupName(gids[static_cast<size_t>(i)], names);
    }
    return names;
}

} // namespace fr
