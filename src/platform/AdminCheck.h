#pragma once

#include <QStringList>
#include <sys/types.h>

namespace fr {

// The groups whose members may administer the machine or read its disks directly. A member
// of any of them is trusted with raw disk access, like an administrator.
inline const QStringList kAdministrativeGroups{"sudo", "wheel", "admin", "disk"};

// Decides on a user id and the names of the groups the user belongs to. Membership counts
// whether or not it is in force in this session (a user added to "disk" who has not logged
// in again still passes), so the list should come from the group database as well.
bool isAdministrator(uid_t uid, const QStringList& groupNames);

// Every group of the current user: the process's groups and the user's entries in the group
// database. Empty when the user cannot be looked up.
QStringList groupNamesOfCurrentUser();

} // namespace fr
