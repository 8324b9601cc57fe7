#pragma once

#include <QListWidget>

namespace fr {

// A list whose entries each carry a check box: tracks to rip, journal entries, damaged media.
// One entry is selected at a time.
class CheckListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CheckListBox(QWidget* parent = nullptr);

    void addItem(const QString& text, bool checked = false);
    // False for a row that is not there.
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    void checkAll();
    // The rows that are ticked, in list order.
    QList<int> checkedRows() const;

    // The help topic shown for the list.
    QString helpKeyword() const { return helpKeyword_; }
    void setHelpKeyword(const QString& keyword) { helpKeyword_ = keyword; }

signals:
    // A row's tick changed, by the user or by the program.
    void checkedChanged(int row, bool checked);

private:
    QString helpKeyword_;
};

} // namespace fr
