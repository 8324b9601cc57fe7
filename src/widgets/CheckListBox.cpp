#include "widgets/CheckListBox.h"

namespace fr {

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* changed) {
        // itemChanged also fires for text changes; only a new tick is reported.
        const bool checked = changed->checkState() == Qt::Checked;
        if (changed->data(Qt::UserRole).toBool() == checked)
            return;
        changed->setData(Qt::UserRole, checked);
        emit checkedChanged(row(changed), checked);
    });
}

void CheckListBox::addItem(const QString& text, bool checked) {
    auto* entry = new QListWidgetItem(text);
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    entry->setData(Qt::UserRole, checked);
    QListWidget::addItem(entry);
}

bool CheckListBox::isChecked(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry != nullptr && entry->checkState() == Qt::Checked;
}

void CheckListBox::setChecked(int row, bool checked) {
    if (QListWidgetItem* entry = item(row))
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CheckListBox::checkAll() {
    for (int row = 0; row < count(); ++row)
        setChecked(row, true);
}

QList<int> CheckListBox::checkedRows() const {
    QList<int> rows;
    for (int row = 0; row < count(); ++row) {
        if (isChecked(row))
            rows << row;
    }
    return rows;
}

} // namespace fr
