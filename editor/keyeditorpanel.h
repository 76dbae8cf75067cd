#pragma once

#include "document/languagepack.h"

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace Wordloom {

// The right column: the comment and translation memos, the three option
// boxes and the "Verwerfen" and "Übernehmen" buttons. Texts go in and out
// with CR LF line breaks whatever the memos use. A text or option set from
// code that differs from what is shown notifies exactly as a user's edit
// does; the same value, or clearTexts(), notifies nothing.
class KeyEditorPanel : public QWidget {
    Q_OBJECT
public:
    enum class Option { Html, Break, Unix };

    explicit KeyEditorPanel(QWidget *parent = nullptr);

    // What the editor holds, options as "1" or "0".
    KeyEntry entry() const;
    QString translation() const;
    // Whether the editor shows the stored entry unchanged; an option counts
    // by whether it is on.
    bool shows(const KeyEntry &stored) const;
    // Shows a key's stored data; only an option of exactly "1" is on.
    void showEntry(const KeyEntry &stored);
    void setTexts(const QString &translation, const QString &comment);
    void clearTexts();
    void clearOptions();

    // Puts a widget between the translation's label and its memo.
    void addAboveTranslation(QWidget *widget);
    // Puts a widget between the translation's memo and the buttons.
    void addBelowTranslation(QWidget *widget);
    void setTranslationWrapped(bool wrap);
    void focusTranslation();
    QPushButton *resetButton() const { return mReset; }
    QPushButton *submitButton() const { return mSubmit; }
    // The focusable controls in reading order.
    QList<QWidget *> tabChain() const;

signals:
    void translationChanged();
    void commentChanged();
    void optionClicked(KeyEditorPanel::Option option);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setMemoText(QPlainTextEdit *memo, const QString &text);
    void setOption(Option option, bool checked);

    QPlainTextEdit *mComment;
    QPlainTextEdit *mTranslation;
    QCheckBox *mOptions[3];
    QPushButton *mReset;
    QPushButton *mSubmit;
    QVBoxLayout *mTranslationLayout = nullptr;
};

} // namespace Wordloom
