#include "editor/newkeydialog.h"

#include "editor/uifonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Wordloom {

NewKeyDialog::NewKeyDialog(QWidget *parent) : QDialog(parent), mNewkey(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Schlüssel anlegen"));
    setModal(false);
    setFont(interfaceFont());
    resize(280, 111);
    setMinimumWidth(280);
    mNewkey->setObjectName(QStringLiteral("newkey"));
    mNewkey->setMinimumSize(257, 21);

    auto *label = new QLabel(QStringLiteral("Übersetzungs-Schlüssel:"), this);
    label->setBuddy(mNewkey);
    auto *cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setAutoDefault(false);
    cancel->setFixedSize(130, 25);
    auto *okay = new QPushButton(QStringLiteral("Okay"), this);
    okay->setObjectName(QStringLiteral("Button1"));
    okay->setDefault(true);
    okay->setFixedSize(130, 25);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(okay);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(mNewkey);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(okay, &QPushButton::clicked, this, &NewKeyDialog::Button1Click);
    connect(cancel, &QPushButton::clicked, this, &NewKeyDialog::Button2Click);
}

QString NewKeyDialog::keyName() const
{
    return mNewkey->text();
}

void NewKeyDialog::setKeyName(const QString &name)
{
    mNewkey->setText(name);
}

void NewKeyDialog::Button1Click()
{
    if (onConfirm)
        onConfirm(*this);
    hide();
}

void NewKeyDialog::Button2Click()
{
    hide();
}

} // namespace Wordloom
