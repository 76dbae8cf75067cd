#include "editor/keyeditorpanel.h"

#include "editor/layoutparts.h"
#include "editor/uifonts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSplitter>
#include <QVBoxLayout>

namespace Wordloom {

namespace {

const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");

// The model keeps CR LF; the memos use LF.
QString modelText(const QPlainTextEdit *memo)
{
    QString text = memo->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

QString shownText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QPlainTextEdit *memo(const char *name, const char *hint)
{
    auto *edit = named(new QPlainTextEdit, name);
    edit->setToolTip(plainToolTip(QString::fromUtf8(hint)));
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on; Ctrl+Tab types a tab (see eventFilter).
    edit->setTabChangesFocus(true);
    return edit;
}

QCheckBox *optionBox(const char *name, const char *caption, const char *hint)
{
    auto *box = named(new QCheckBox(QString::fromUtf8(caption)), name);
    box->setToolTip(plainToolTip(QString::fromUtf8(hint)));
    return box;
}

} // namespace

KeyEditorPanel::KeyEditorPanel(QWidget *parent)
    : QWidget(parent)
    , mComment(memo("lpComment", "Kommentar"))
    , mTranslation(memo("lpValue", "Die Übersetzung des ausgewählten Schlüsselwortes"))
    , mOptions{optionBox("htmlCheckbox", "in HTML umwandeln",
                   "Text soll in der Übersetzung nach HTML umgewandelt werden"),
          optionBox("breakCheckbox", "Umbrüche erhalten",
              "Die Umbrüche sollen in der Übersetzung erhalten bleiben. Bei Umwandlung in HTML werden alle "
              "Umbrüche in <BR>'s konvertiert."),
          optionBox("unixCheckBox", "UNIX Linebreak", "Ausgabe-Datei soll nur LF's enthalten und keine CRLF's")}
    , mReset(fixedButton("buttonReset", 115, 25))
    , mSubmit(fixedButton("buttonSubmit", 115, 25))
{
    setObjectName(QStringLiteral("Panel_Rechts"));
    setMinimumWidth(450);
    mComment->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mComment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mTranslation->setFont(translationFont());
    mTranslation->setMinimumSize(450, 70);
    mReset->setToolTip(plainToolTip(QStringLiteral("Änderungen für dieses Schlüsselwort verwerfen")));
    mSubmit->setToolTip(plainToolTip(QStringLiteral("Änderungen für dieses Schlüsselwort übernehmen")));

    auto *commentPanel = panel("Panel_Comment");
    commentPanel->setMinimumHeight(38);
    auto *commentLayout = tight(new QVBoxLayout(commentPanel));
    commentLayout->addWidget(named(new QLabel(QStringLiteral("Kommentar")), "Label_Comment"));
    commentLayout->addWidget(mComment, 1);

    auto *options = panel("Panel_Options");
    options->setFixedWidth(190);
    auto *optionsLayout = tight(new QVBoxLayout(options));
    for (QCheckBox *box : mOptions)
        optionsLayout->addWidget(box);
    optionsLayout->addStretch(1);

    // The two buttons keep to the bottom right corner.
    auto *buttons = panel("Panel_TransBTNs");
    buttons->setFixedHeight(72);
    auto *buttonsLayout = tight(new QHBoxLayout(buttons));
    buttonsLayout->addWidget(options);
    buttonsLayout->addStretch(1);
    buttonsLayout->addWidget(mReset, 0, Qt::AlignBottom);
    buttonsLayout->addWidget(mSubmit, 0, Qt::AlignBottom);

    auto *translationPanel = panel("Panel_Translation");
    auto *translationLayout = mTranslationLayout = tight(new QVBoxLayout(translationPanel));
    translationLayout->addWidget(named(new QLabel(QStringLiteral("Übersetzung")), "Label_Translation"));
    translationLayout->addWidget(mTranslation, 1);
    translationLayout->addWidget(buttons);

    auto *splitter = named(new QSplitter(Qt::Vertical), "Splitter_Rechts");
    splitter->setHandleWidth(2);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(commentPanel);
    splitter->addWidget(translationPanel);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({104, 400});
    tight(new QVBoxLayout(this))->addWidget(splitter);

    connect(mTranslation, &QPlainTextEdit::textChanged, this, &KeyEditorPanel::translationChanged);
    connect(mComment, &QPlainTextEdit::textChanged, this, &KeyEditorPanel::commentChanged);
    for (Option option : {Option::Html, Option::Break, Option::Unix})
        connect(mOptions[int(option)], &QCheckBox::clicked, this, [this, option] { emit optionClicked(option); });
    mTranslation->installEventFilter(this);
    mComment->installEventFilter(this);
}

void KeyEditorPanel::addAboveTranslation(QWidget *widget)
{
    mTranslationLayout->insertWidget(0, widget);
}

void KeyEditorPanel::addBelowTranslation(QWidget *widget)
{
    mTranslationLayout->insertWidget(mTranslationLayout->count() - 1, widget);
}

KeyEntry KeyEditorPanel::entry() const
{
    const auto flag = [this](Option option) { return mOptions[int(option)]->isChecked() ? kOn : kOff; };
    return KeyEntry{modelText(mTranslation), modelText(mComment), flag(Option::Html), flag(Option::Break),
        flag(Option::Unix)};
}

QString KeyEditorPanel::translation() const
{
    return modelText(mTranslation);
}

bool KeyEditorPanel::shows(const KeyEntry &stored) const
{
    const KeyEntry held = entry();
    for (KeyField field : {KeyField::EncodeHTML, KeyField::PreserveLinebreaks, KeyField::UnixNewline})
        if ((held.field(field) == kOn) != (stored.field(field) == kOn))
            return false;
    return held.translation == stored.translation && held.comment == stored.comment;
}

void KeyEditorPanel::showEntry(const KeyEntry &stored)
{
    setTexts(stored.translation, stored.comment);
    clearOptions();
    setOption(Option::Html, stored.encodeHTML == kOn);
    setOption(Option::Break, stored.preserveLinebreaks == kOn);
    setOption(Option::Unix, stored.unixNewline == kOn);
}

void KeyEditorPanel::setTexts(const QString &translation, const QString &comment)
{
    setMemoText(mTranslation, translation);
    setMemoText(mComment, comment);
}

void KeyEditorPanel::clearTexts()
{
    for (QPlainTextEdit *memo : {mTranslation, mComment}) {
        const QSignalBlocker silent(memo);
        memo->clear();
    }
}

void KeyEditorPanel::clearOptions()
{
    for (Option option : {Option::Html, Option::Break, Option::Unix})
        setOption(option, false);
}

void KeyEditorPanel::setTranslationWrapped(bool wrap)
{
    mTranslation->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    mTranslation->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

void KeyEditorPanel::focusTranslation()
{
    mTranslation->setFocus();
}

QList<QWidget *> KeyEditorPanel::tabChain() const
{
    return {mComment, mTranslation, mOptions[int(Option::Html)], mOptions[int(Option::Break)],
        mOptions[int(Option::Unix)], mReset, mSubmit};
}

bool KeyEditorPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
            static_cast<QPlainTextEdit *>(watched)->insertPlainText(QStringLiteral("\t"));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void KeyEditorPanel::setMemoText(QPlainTextEdit *memo, const QString &text)
{
    if (modelText(memo) == text)
        return;
    {
        const QSignalBlocker silent(memo);
        memo->setPlainText(shownText(text));
    }
    if (memo == mTranslation)
        emit translationChanged();
    else
        emit commentChanged();
}

void KeyEditorPanel::setOption(Option option, bool checked)
{
    if (mOptions[int(option)]->isChecked() == checked)
        return;
    mOptions[int(option)]->setChecked(checked);
    emit optionClicked(option);
}

} // namespace Wordloom
