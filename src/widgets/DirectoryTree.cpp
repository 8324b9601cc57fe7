#include "widgets/DirectoryTree.h"

namespace fr {

void DirectoryTree::setRoot(const QString& driveForm) {
    if (driveForm == root_)
        return;
    root_ = driveForm;
    emit rootChanged(root_);
}

} // namespace fr
