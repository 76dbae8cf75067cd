#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;

namespace Wordloom {

// Asks for a key name; not modal. "Okay" runs onConfirm and hides the dialog.
class NewKeyDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewKeyDialog(QWidget *parent = nullptr);

    QString keyName() const;
    void setKeyName(const QString &name);
    QLineEdit *newkey() const { return mNewkey; }

    std::function<void(NewKeyDialog &)> onConfirm;

    void Button1Click();
    void Button2Click();

private:
    QLineEdit *mNewkey;
};

} // namespace Wordloom
