#include "editor/statusline.h"

#include "document/languagepack.h"
#include "editor/layoutparts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>

namespace Wordloom {

StatusLine::StatusLine(QWidget *parent)
    : QWidget(parent)
    , mMessage(named(new QLabel, "statusBar"))
    , mSummary(named(new QLabel, "packSummary"))
{
    auto *layout = tight(new QHBoxLayout(this));
    for (QLabel *label : {mMessage, mSummary}) {
        label->setFixedHeight(25);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    layout->setStretch(0, 1);
}

void StatusLine::showMessage(const QString &message)
{
    mMessage->setText(message);
}

QString StatusLine::message() const
{
    return mMessage->text();
}

void StatusLine::showSummary(const LanguagePack &pack)
{
    const QLocale german(QLocale::German);
    QString text;
    if (pack.state() == LanguagePack::State::Open) {
        text = pack.fileName().isEmpty() ? QStringLiteral("Unbenannt") : pack.fileName();
        if (pack.isModified())
            text += QStringLiteral(" *");
        text += QStringLiteral("   ") + german.toString(pack.keys().count()) + QStringLiteral(" Schlüssel, ")
            + german.toString(pack.untranslatedCount()) + QStringLiteral(" ohne Übersetzung");
    }
    mBase = text;
    mSummary->setText(mAddition.isEmpty() ? mBase : mBase + QStringLiteral("   ") + mAddition);
}

void StatusLine::setSummaryAddition(const QString &text)
{
    mAddition = text;
    mSummary->setText(mAddition.isEmpty() ? mBase : mBase + QStringLiteral("   ") + mAddition);
}

} // namespace Wordloom
