#pragma once

#include <QWidget>

class QLineEdit;

namespace Wordloom {

class KeyList;
class NameListView;

// An always-open list with an editable field above it. The field holds the
// current key's name; picking an entry copies its name into the field.
// Changes made from code never emit userChanged().
class KeyListBox : public QWidget {
    Q_OBJECT
public:
    explicit KeyListBox(const KeyList *model, QWidget *parent = nullptr);

    QLineEdit *field() const { return mField; }
    NameListView *view() const { return mView; }

    QString text() const;
    // The selected row, or -1.
    int currentRow() const;
    // Selects a row and copies its name into the field; -1 selects nothing
    // and empties the field.
    void selectRow(int row);
    void clear();

signals:
    // The field changed by the user's typing or choice of an entry.
    void userChanged();

private:
    // Selects the row, or nothing for -1, and leaves the field alone.
    bool highlightRow(int row);
    void onUserPicked(int row);
    void onTyped(const QString &text);

    const KeyList *mModel;
    QLineEdit *mField;
    NameListView *mView;
};

} // namespace Wordloom
